// SPDX-License-Identifier: GPL-3.0-or-later
#include "auditgenerator.h"

#include "scoring/risk.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <vector>

namespace caldrin::audit::testing {

namespace {

class Random {
public:
    explicit Random(std::uint64_t seed)
        : state_(seed * 0x9E3779B97F4A7C15ULL + 1) {}
    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    double uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
    int below(int n) { return static_cast<int>(uniform() * n); }

private:
    std::uint64_t state_;
};

void appendFraction(std::string& line, double value) {
    char digits[32];
    const auto end =
        std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, 4);
    line.append(digits, end.ptr);
}

double withOdds(double p, double multiplier) {
    const double odds = p / (1 - p) * multiplier;
    return p >= 1 ? 1 : odds / (1 + odds);
}

struct Identity {
    std::string name, id, dob, date;
};

} // namespace

std::string generateAuditText(const GeneratedAudit& options) {
    std::string text;
    generateAudit(options, [&](const std::string& piece) { text += piece; });
    return text;
}

bool writeAuditFile(const std::string& path, const GeneratedAudit& options) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    bool ok = true;
    std::string block;
    generateAudit(options, [&](const std::string& piece) {
        block += piece;
        if (block.size() > (1 << 20)) {
            ok = ok && std::fwrite(block.data(), 1, block.size(), file) == block.size();
            block.clear();
        }
    });
    ok = ok && std::fwrite(block.data(), 1, block.size(), file) == block.size();
    return std::fclose(file) == 0 && ok;
}

void generateAudit(const GeneratedAudit& options,
                   const std::function<void(const std::string&)>& write) {
    static const char* const kSurnames[] = {"Smith",  "Jones",   "Taylor", "Brown",    "Williams",
                                            "Wilson", "Johnson", "Davies", "Robinson", "Wright"};
    static const char* const kGiven[] = {"Ann",   "John",  "Mary", "Peter", "Susan",
                                         "David", "Helen", "Paul", "Ruth",  "Mark"};
    Random random(options.seed);
    if (options.header)
        write(std::string("NAME,ID,DOB,DATE,AGE,CARDIAC,RESPIRATORY,BP,PULSE,GCS,"
                          "Hb,WCC,Urea,Na+,K+,ECG,PHYS_TOTAL,"
                          "OP_SEV,MULT,BL_LOSS,SOIL,MALIG,MODE,OP_TOTAL,"
                          "P_MORB,P_MORT,P-P_MORT,V_MORT,VP_MORT,"
                          "MORBIDITY,MORTALITY\r\n"));
    std::vector<Identity> earlier;
    const int days = 365 * options.years;
    std::string line;
    for (std::size_t r = 0; r < options.records; ++r) {
        line.clear();
        Identity identity;
        if (!earlier.empty() && random.uniform() < options.repeatShare) {
            identity =
                earlier[static_cast<std::size_t>(random.below(static_cast<int>(earlier.size())))];
        } else {
            // Dates move forward through the file with a little disorder.
            const int day = std::clamp(static_cast<int>(static_cast<double>(r) * days /
                                                        std::max<std::size_t>(1, options.records)) +
                                           random.below(15) - 7,
                                       0, days - 1);
            const int year = options.firstYear + day / 365;
            const int month = 1 + (day % 365) / 31 % 12;
            const int dom = 1 + (day % 365) % 28;
            char date[48];
            std::snprintf(date, sizeof date, "%02d/%02d/%04d", dom, month, year);
            identity.date = date;
            if (random.uniform() < options.hashedShare) {
                static const char kHex[] = "0123456789abcdef";
                std::uint64_t a = random.next(), b = random.next();
                for (int i = 0; i < 16; ++i)
                    identity.name += kHex[(a >> (4 * i)) & 15];
                for (int i = 0; i < 16; ++i)
                    identity.name += kHex[(b >> (4 * i)) & 15];
            } else {
                identity.name = std::string(kSurnames[random.below(10)]);
                identity.name += ' ';
                identity.name += kGiven[random.below(10)];
                identity.id = std::to_string(100000 + random.below(900000));
                char dob[48];
                std::snprintf(dob, sizeof dob, "%02d/%02d/%04d", 1 + random.below(28),
                              1 + random.below(12), 1930 + random.below(60));
                identity.dob = dob;
            }
            if (earlier.size() < 4096)
                earlier.push_back(identity);
            else
                earlier[static_cast<std::size_t>(random.below(4096))] = identity;
        }
        for (const std::string* part : {&identity.name, &identity.id, &identity.dob}) {
            line += *part;
            line += ',';
        }
        line += identity.date;

        // Physiological factors (12) and operative factors (6): points 1, 2, 4 or 8,
        // mostly 1, so that the totals span a clinical range.
        static constexpr int kPoints[] = {1, 1, 1, 1, 1, 2, 2, 4, 8};
        int ps = 0, os = 0;
        for (int f = 0; f < 12; ++f) {
            const int points = kPoints[random.below(9)];
            ps += points;
            line += ',';
            line += std::to_string(points);
        }
        line += ',';
        line += std::to_string(ps);
        for (int f = 0; f < 6; ++f) {
            const int points = kPoints[random.below(9)];
            os += points;
            line += ',';
            line += std::to_string(points);
        }
        line += ',';
        line += std::to_string(os);
        const auto u8ps = static_cast<std::uint8_t>(ps);
        const auto u8os = static_cast<std::uint8_t>(os);
        double risks[5];
        risks[0] = ComputeRisk(RiskKind::PossumMorbidity, u8ps, u8os);
        risks[1] = ComputeRisk(RiskKind::PossumMortality, u8ps, u8os);
        risks[2] = ComputeRisk(RiskKind::PPossumMortality, u8ps, u8os);
        risks[3] = ComputeRisk(RiskKind::RaaaPossumMortality, u8ps, u8os);
        risks[4] = ComputeRisk(RiskKind::RaaaPossumPhysiologicalMortality, u8ps, u8os);
        for (double risk : risks) {
            line += ',';
            appendFraction(line, risk);
        }
        // Outcomes from the risks as written (four decimals).
        const double morbidityRisk = std::round(risks[0] * 10000) / 10000;
        const double mortalityRisk = std::round(risks[2] * 10000) / 10000;
        auto outcome = [&](double p) -> std::string {
            if (random.uniform() < options.unknownOutcomeShare)
                return "";
            return random.uniform() < withOdds(p, options.oddsMultiplier) ? "1" : "0";
        };
        line += ',';
        line += outcome(morbidityRisk);
        line += ',';
        line += outcome(mortalityRisk);
        line += "\r\n";
        write(line);
    }
}

} // namespace caldrin::audit::testing
