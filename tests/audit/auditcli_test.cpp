// SPDX-License-Identifier: GPL-3.0-or-later
// caldrin-audit as a program: its exit status, its formats and where its
// report goes.

#include "auditgenerator.h"
#include "auditlines.h"
#include "modelupdate/modelupdate.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iconv.h>
#include <sstream>
#include <sys/wait.h>

namespace {

namespace fs = std::filesystem;

struct Outcome {
    int status = -1;
    std::string out;
};

// Runs the program with `arguments` (already quoted for the shell); standard
// error goes with standard output.
Outcome run(const std::string& arguments) {
    const std::string command =
        caldrin::audit::testing::cat("'", CALDRIN_AUDIT_PROGRAM, "' ", arguments, " 2>&1");
    Outcome result;
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return result;
    std::array<char, 4096> buffer;
    std::size_t got = 0;
    while ((got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        result.out.append(buffer.data(), got);
    const int status = ::pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class AuditCommandLine : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               caldrin::audit::testing::cat("caldrin-audit-cli-", std::to_string(::getpid()));
        fs::create_directories(dir_);
        caldrin::audit::testing::GeneratedAudit generated;
        generated.records = 2000;
        ASSERT_TRUE(caldrin::audit::testing::writeAuditFile(file(), generated));
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string file() const { return (dir_ / "audit.csv").string(); }
    fs::path dir_;
};

TEST_F(AuditCommandLine, ExitStatusSaysWhatHappened) {
    struct Case {
        std::string arguments;
        int status;
        std::string says;
    };
    const std::string f = caldrin::audit::testing::cat("'", file(), "'");
    const Case cases[] = {
        {f + " --limit 4.5", 0, "Risk bands, P-POSSUM mortality"},
        {"--help", 0, "Usage: caldrin-audit"},
        {"--version", 0, "caldrin-audit 3.0"},
        {"", 1, "no audit data file given"},
        {f + " --format xml", 1, "--format takes text, csv or json"},
        {f + " --odds-ratio 1", 1, "--odds-ratio"},
        // Out of range: refused with the range, never printed from a short buffer.
        {f + " --limit 1e100", 1, "--limit takes a number above 0 and at most 1000"},
        {f + " --limit 2.7e92", 1, "--limit takes a number above 0 and at most 1000"},
        {f + " --odds-ratio 1e100", 1, "--odds-ratio takes a number from 0.01 to 100"},
        {f + " --arl 2000000", 1, "--arl takes a number of episodes from 10 to 1000000"},
        {f + " --model nonsense", 1, "unknown model nonsense"},
        {f + " --from 31/02/2024", 1, "is not a date"},
        {f + " --from 2024-05-01 --to 2024-01-01", 1, "--from is after --to"},
        {f + " --bogus", 1, "unknown option --bogus"},
        {f + " --today 2024-02-30", 1, "2024-02-30 is not a date"},
        {f + " --due-days 7.5", 1, "--due-days takes a whole number of days from 0 to 3650"},
        {f + " --due-days 4000", 1, "--due-days takes a whole number of days from 0 to 3650"},
        {f + " --limit 4.5 '" + (dir_ / "missing.csv").string() + "'", 2, "cannot read"},
        {f + " --limit 4.5 --output '" + (dir_ / "no" / "such" / "dir").string() + "'", 2,
         "cannot write"},
    };
    for (const Case& c : cases) {
        const Outcome r = run(c.arguments);
        EXPECT_EQ(r.status, c.status) << c.arguments << "\n" << r.out;
        EXPECT_NE(r.out.find(c.says), std::string::npos) << c.arguments << "\n" << r.out;
    }
}

TEST_F(AuditCommandLine, FormatsModelDatesAndOutputFile) {
    const std::string f = caldrin::audit::testing::cat("'", file(), "'");
    const Outcome json = run(f + " --limit 4.5 --format json");
    EXPECT_EQ(json.status, 0);
    EXPECT_EQ(json.out.front(), '{');
    EXPECT_NE(json.out.find("\"p_possum_mortality\""), std::string::npos);

    const Outcome band = run(f + " --limit 4.5 --model possum-morbidity");
    EXPECT_NE(band.out.find("Risk bands, POSSUM morbidity"), std::string::npos);

    // The old names still choose the ruptured-aneurysm risks, with a note
    // saying so; the new names choose the published arterial equations.
    const Outcome old = run(f + " --limit 4.5 --model v-possum-physiological");
    EXPECT_EQ(old.status, 0);
    EXPECT_NE(old.out.find("caldrin-audit: --model v-possum-physiological now means RAAA-POSSUM "
                           "physiological mortality"),
              std::string::npos)
        << old.out;
    EXPECT_NE(old.out.find("Risk bands, RAAA-POSSUM physiological mortality"), std::string::npos);
    const Outcome arterial = run(f + " --limit 4.5 --model v-possum-2001");
    EXPECT_EQ(arterial.out.find("now means"), std::string::npos);
    EXPECT_NE(arterial.out.find("Risk bands, V-POSSUM mortality"), std::string::npos);

    const Outcome ranged = run(f + " --limit 4.5 --format json --from 01/01/2022 --to=2022-12-31");
    EXPECT_NE(ranged.out.find("\"outside_date_range\": "), std::string::npos);
    EXPECT_EQ(ranged.out.find("\"outside_date_range\": 0,"), std::string::npos);

    const fs::path report = dir_ / "report.csv";
    const Outcome written = run(f + " --limit 4.5 --format csv --output '" + report.string() + "'");
    EXPECT_EQ(written.status, 0);
    EXPECT_TRUE(written.out.empty()) << written.out; // no terminal: no progress either
    EXPECT_TRUE(slurp(report).starts_with("model,outcome,band,n,"));

    // Without a limit one is computed and reported with its run length.
    const Outcome computed = run(f + " --arl 500");
    EXPECT_NE(computed.out.find("(in-control run length 500)"), std::string::npos) << computed.out;
}

// Strict UTF-8: every sequence well formed, no overlong form, no surrogate,
// decoded by the C library rather than by the program's own code.
bool isUtf8(const std::string& text) {
    const iconv_t convert = ::iconv_open("UTF-32LE", "UTF-8");
    if (convert == reinterpret_cast<iconv_t>(-1))
        return false;
    std::string in = text;
    char* from = in.data();
    std::size_t left = in.size();
    std::string out(4 * in.size() + 4, '\0');
    char* to = out.data();
    std::size_t room = out.size();
    const std::size_t result = ::iconv(convert, &from, &left, &to, &room);
    ::iconv_close(convert);
    return result != static_cast<std::size_t>(-1) && left == 0;
}

// Names of 32 Windows-1252 letters are names, not hashed identifiers: every
// format turns them into UTF-8 like any other name.
TEST_F(AuditCommandLine, NamesOfWindows1252LettersStayUtf8InEveryFormat) {
    using caldrin::audit::testing::cat;
    using caldrin::audit::testing::line;
    using caldrin::audit::testing::Row;
    const std::string name = cat(std::string(31, '\xC9'), "\x80"); // É x 31, then €
    std::string utf8Name;
    for (int i = 0; i < 31; ++i)
        utf8Name += "\xC3\x89";
    utf8Name += "\xE2\x82\xAC";
    const std::string hash = "0cc175b9c0f1b6a831c399e269772661";
    const fs::path path = dir_ / "names.csv";
    std::ofstream(path, std::ios::binary)
        << cat(caldrin::audit::testing::kHeader,
               line(Row{.name = name, .id = "1\x81", .date = "01/10/2024", .mortality = ""}),
               line(Row{.name = hash, .id = "", .dob = "", .date = "02/10/2024", .mortality = ""}),
               line(Row{.name = cat(name, "x"), .date = "03/10/2024", .mortality = "1"}), name,
               ",too,short\r\n");
    const std::string f = cat("'", path.string(), "' --today 2024-12-11 --limit 4");
    for (const char* format : {"text", "csv", "json"}) {
        for (const char* what : {"--outstanding ", ""}) {
            const Outcome r = run(cat(what, "--format ", format, " ", f));
            EXPECT_EQ(r.status, 0) << r.out;
            EXPECT_TRUE(isUtf8(r.out)) << what << format << "\n" << r.out;
            // The analysis shows the name in its reading problems, which its
            // CSV leaves out.
            if (*what || std::string_view(format) != "csv") {
                EXPECT_NE(r.out.find(utf8Name), std::string::npos) << what << format;
            }
        }
    }
    const std::string csv = run("--outstanding --format csv " + f).out;
    EXPECT_NE(csv.find(cat(",", utf8Name, ",1\xEF\xBF\xBD,01/02/1950,,")), std::string::npos)
        << csv;
    EXPECT_NE(csv.find(cat(",,,,", hash, ",")), std::string::npos) << csv;
    const std::string json = run("--outstanding --format json " + f).out;
    EXPECT_NE(json.find(cat("\"name\": \"", utf8Name, "\"")), std::string::npos) << json;
    EXPECT_NE(json.find(cat("\"hashed_identifier\": \"", hash, "\"")), std::string::npos);
}

// The report never takes the place of an audit data file that was read,
// however the file is named.
// The same day gives the same list and the same completeness, whatever the clock.
TEST_F(AuditCommandLine, OutstandingEpisodesAndCompletenessOnAFixedDay) {
    using caldrin::audit::testing::line;
    using caldrin::audit::testing::Row;
    const fs::path path = dir_ / "follow.csv";
    std::ofstream(path, std::ios::binary) << caldrin::audit::testing::cat(
        caldrin::audit::testing::kHeader,
        line(Row{.name = "Later", .date = "20/11/2024", .mortality = ""}),
        line(Row{.name = "Earlier", .date = "01/10/2024", .morbidity = ""}),
        line(Row{.name = "Known", .date = "01/09/2024"}));
    const std::string f = caldrin::audit::testing::cat("'", path.string(), "'");
    const Outcome text = run("--outstanding --today 2024-12-11 " + f);
    EXPECT_EQ(text.status, 0) << text.out;
    const auto earlier = text.out.find("Earlier");
    const auto later = text.out.find("Later");
    ASSERT_NE(earlier, std::string::npos) << text.out;
    EXPECT_LT(earlier, later) << "due first";
    EXPECT_EQ(text.out.find("Known"), std::string::npos);
    EXPECT_NE(text.out.find("1 due, 0 without a readable date, 1 not"), std::string::npos)
        << text.out;
    // Fits a terminal of 80 columns.
    std::istringstream lines(text.out);
    for (std::string row; std::getline(lines, row);)
        EXPECT_LE(row.size(), 80u) << row;
    // Twenty-one days later both are due.
    const Outcome csv = run("--outstanding --format csv --today 2024-12-11 --due-days 21 " + f);
    EXPECT_EQ(csv.out.find("not yet due"), std::string::npos) << csv.out;
    EXPECT_NE(csv.out.find("due,71,01/10/2024,Earlier"), std::string::npos) << csv.out;
    const Outcome json = run("--outstanding --format json --today 2024-12-11 " + f);
    EXPECT_NE(json.out.find("\"outstanding\": 2, \"due\": 1"), std::string::npos) << json.out;
    EXPECT_NE(json.out.find("\"leading_fields\": [\"Earlier\", \"1001\""), std::string::npos)
        << json.out;

    const Outcome analysis = run("--format json --today 2024-12-11 " + f);
    const auto completeness = nlohmann::json::parse(analysis.out)["completeness"];
    EXPECT_EQ(completeness["today"], "2024-12-11");
    EXPECT_EQ(completeness["due_days"], 30);
    const auto& mortality = completeness["mortality"];
    EXPECT_EQ(mortality["known"], 2);
    EXPECT_EQ(mortality["known_due"], 2);
    EXPECT_EQ(mortality["known_not_yet_due"], 0);
    EXPECT_EQ(mortality["unknown_due"], 0);
    EXPECT_EQ(mortality["unknown_not_yet_due"], 1) << analysis.out;
    EXPECT_NE(run("--today 2024-12-11 " + f).out.find("Warning: only 50.0% of the 2 episodes"),
              std::string::npos);
}

TEST_F(AuditCommandLine, RefusesAnOutputThatIsAnInput) {
    const std::string before = slurp(file());
    fs::create_symlink(file(), dir_ / "link.csv");
    fs::create_hard_link(file(), dir_ / "hard.csv");
    fs::create_directories(dir_ / "sub");
    const std::string names[] = {
        file(),
        (dir_ / "link.csv").string(),
        (dir_ / "hard.csv").string(),
        (dir_ / "sub" / ".." / "audit.csv").string(),
    };
    for (const std::string& output : names) {
        const Outcome r = run("--limit 4 --output '" + output + "' '" + file() + "'");
        EXPECT_EQ(r.status, 2) << output << "\n" << r.out;
        EXPECT_NE(r.out.find("is one of the audit data files read"), std::string::npos) << r.out;
        EXPECT_EQ(slurp(file()), before) << output;
    }
    // A missing input named as the output is refused by its path.
    const std::string missing = (dir_ / "missing.csv").string();
    const Outcome r =
        run("--limit 4 --output '" + missing + "' '" + file() + "' '" + missing + "'");
    EXPECT_EQ(r.status, 2);
    EXPECT_FALSE(fs::exists(missing));
}

// A report replaces an earlier one whole, keeping its mode; a device is
// written in place, and a failed write says so.
TEST_F(AuditCommandLine, ReplacesAnEarlierReportWhole) {
    const fs::path report = dir_ / "report.txt";
    { std::ofstream(report) << "earlier report"; }
    fs::permissions(report, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    const std::string f = caldrin::audit::testing::cat("'", file(), "'");
    const Outcome written = run(f + " --limit 4 --output '" + report.string() + "'");
    EXPECT_EQ(written.status, 0) << written.out;
    EXPECT_EQ(slurp(report), run(f + " --limit 4").out);
    EXPECT_EQ(fs::status(report).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 2)
        << "no temporary file left beside the report";

    EXPECT_EQ(run(f + " --limit 4 --output /dev/null").status, 0);
    const Outcome full = run(f + " --limit 4 --output /dev/full");
    EXPECT_EQ(full.status, 2);
    EXPECT_NE(full.out.find("cannot write /dev/full"), std::string::npos) << full.out;
}

// Whatever is named, the program ends soon with a message and keeps its
// memory and its report bounded.
TEST_F(AuditCommandLine, HostileInputEndsSoonWithAMessage) {
    const fs::path sparse = dir_ / "sparse.csv";
    { std::ofstream(sparse) << ""; }
    fs::resize_file(sparse, std::uintmax_t{64} << 30);
    const fs::path commas = dir_ / "commas.csv";
    {
        std::ofstream out(commas);
        for (int i = 0; i < 200000; ++i)
            out << ",\n";
    }
    struct Case {
        std::string input;
        int status;
        std::string says;
    };
    const Case cases[] = {
        {"/dev/zero", 2, "not a regular file"},
        {"/dev/urandom", 2, "not a regular file"},
        {sparse.string(), 2, "it is not text"},
        {commas.string(), 0, "and 199000 more not listed"},
    };
    for (const Case& c : cases) {
        const Outcome r = run(caldrin::audit::testing::cat("--limit 4 '", c.input, "'"));
        EXPECT_EQ(r.status, c.status) << c.input << "\n" << r.out.substr(0, 2000);
        EXPECT_NE(r.out.find(c.says), std::string::npos) << c.input << "\n"
                                                         << r.out.substr(0, 2000);
        EXPECT_LT(r.out.size(), 400000u) << c.input;
    }
}

// A name given twice, or through a link, is read once; a name that is not
// UTF-8 leaves every format valid and stays recognisable in the text.
TEST_F(AuditCommandLine, FileNamesAsTheyAre) {
    fs::create_symlink(file(), dir_ / "link.csv");
    const std::string f = caldrin::audit::testing::cat("'", file(), "'");
    const std::string once = run(f + " --limit 4 --format csv").out;
    const Outcome twice =
        run(f + " --limit 4 --format csv '" + (dir_ / "link.csv").string() + "' " + f);
    EXPECT_EQ(twice.status, 0);
    EXPECT_NE(twice.out.find("is the same file as"), std::string::npos) << twice.out;
    EXPECT_NE(twice.out.find(once), std::string::npos) << "the figures count every episode once";

    const fs::path odd = dir_ / "caf\xFF.csv";
    fs::copy_file(file(), odd);
    const std::string json =
        run(caldrin::audit::testing::cat("--limit 4 --format json '", odd.string(), "'")).out;
    EXPECT_EQ(json.find('\xFF'), std::string::npos);
    EXPECT_NE(json.find("caf\xEF\xBF\xBD.csv"), std::string::npos);
    const std::string text =
        run(caldrin::audit::testing::cat("--limit 4 '", odd.string(), "'")).out;
    EXPECT_NE(text.find("caf\\xFF.csv"), std::string::npos);
}

} // namespace

// --update fits on the files, says how, and writes the chosen update whole;
// with too few events it writes nothing.
TEST_F(AuditCommandLine, WritesTheChosenUpdateOfAModel) {
    caldrin::audit::testing::GeneratedAudit generated;
    generated.records = 20000;
    generated.seed = 9;
    generated.oddsMultiplier = 0.5; // half the odds of death P-POSSUM predicts
    const fs::path input = dir_ / "unit.csv";
    ASSERT_TRUE(caldrin::audit::testing::writeAuditFile(input.string(), generated));
    const fs::path output = dir_ / "update.json";
    const Outcome r = run("--update p-possum --unit-name 'Ward 7' --from 2021-01-01 "
                          "--to 2023-12-31 --output '" +
                          output.string() + "' '" + input.string() + "'");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("Chosen: recalibration-in-the-large"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Update written to"), std::string::npos) << r.out;
    const auto read = caldrin::modelupdate::readUpdateFile(output.string());
    ASSERT_TRUE(read.update) << read.refusal;
    const caldrin::modelupdate::ModelUpdate& u = *read.update;
    EXPECT_EQ(u.model, caldrin::riskmodels::ModelId::PPossum1996Mortality);
    EXPECT_EQ(u.method, caldrin::modelupdate::Method::RecalibrationInTheLarge);
    EXPECT_NEAR(u.coefficients[0], std::log(0.5), 0.15);
    EXPECT_EQ(u.unit, "Ward 7");
    EXPECT_EQ(u.from, (caldrin::CalendarDate{2021, 1, 1}));
    EXPECT_EQ(u.to, (caldrin::CalendarDate{2023, 12, 31}));
    ASSERT_EQ(u.inputFiles.size(), 1u);
    EXPECT_EQ(u.inputFiles[0].records, 20000u);
    EXPECT_EQ(u.inputFiles[0].bytes, fs::file_size(input));
    EXPECT_GT(u.episodes, 15000u);
    EXPECT_FALSE(u.closedTest.empty());
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 3)
        << "no temporary file left beside the update";

    // Too few events: the reason, status 3, and the earlier update stays.
    const std::string before = slurp(output);
    const Outcome few = run("--update p-possum --to 2021-01-01 --output '" + output.string() +
                            "' '" + input.string() + "'");
    EXPECT_EQ(few.status, 3) << few.out;
    EXPECT_NE(few.out.find("fewer than 20"), std::string::npos) << few.out;
    EXPECT_EQ(slurp(output), before);
}

TEST_F(AuditCommandLine, RefusesAnUpdateItCannotWrite) {
    const std::string f = caldrin::audit::testing::cat("'", file(), "'");
    const std::string before = slurp(file());
    struct Case {
        std::string arguments;
        int status;
        std::string says;
    };
    const std::string out = " --output '" + (dir_ / "u.json").string() + "'";
    const Case cases[] = {
        {f + " --update p-possum", 1, "--update needs --output"},
        {f + " --update euroscore" + out, 1, "--update takes a model name"},
        {f + " --update p-possum --unit-name \"$(printf 'Ward\\n7')\"" + out, 1,
         "--unit-name takes"},
        {f + " --update p-possum --outstanding" + out, 1, "cannot be given together"},
        {f + " --update p-possum --format json" + out, 1, "--format does not apply"},
        {f + " --update p-possum --output " + f, 2, "is one of the audit data files read"},
    };
    for (const Case& c : cases) {
        const Outcome r = run(c.arguments);
        EXPECT_EQ(r.status, c.status) << c.arguments << "\n" << r.out;
        EXPECT_NE(r.out.find(c.says), std::string::npos) << c.arguments << "\n" << r.out;
    }
    EXPECT_EQ(slurp(file()), before);
    EXPECT_FALSE(fs::exists(dir_ / "u.json"));
}

// Next period's audit checks this period's update: the episodes it was
// fitted on are counted as used to fit, the rest measured.
TEST_F(AuditCommandLine, ChecksAnUpdateOnTheEpisodesAfterItsPeriod) {
    caldrin::audit::testing::GeneratedAudit generated;
    generated.records = 8000;
    generated.oddsMultiplier = 0.5;
    const fs::path input = dir_ / "unit.csv";
    ASSERT_TRUE(caldrin::audit::testing::writeAuditFile(input.string(), generated));
    const fs::path update = dir_ / "update.json";
    const Outcome fitted = run("--update p-possum --to 2022-06-30 --output '" + update.string() +
                               "' '" + input.string() + "'");
    ASSERT_EQ(fitted.status, 0) << fitted.out;
    const auto read = caldrin::modelupdate::readUpdateFile(update.string());
    ASSERT_TRUE(read.update) << read.refusal;

    const std::string both =
        " --limit 4 --update-file '" + update.string() + "' '" + input.string() + "'";
    const Outcome text = run(both);
    EXPECT_EQ(text.status, 0) << text.out;
    EXPECT_NE(text.out.find("P-POSSUM mortality, updated on an unnamed unit, "), std::string::npos)
        << text.out;
    EXPECT_NE(text.out.find("Left out: " + std::to_string(read.update->episodes) +
                            " episodes used to fit it"),
              std::string::npos)
        << text.out;
    const Outcome json = run("--format json" + both);
    EXPECT_EQ(json.status, 0);
    EXPECT_NE(json.out.find("\"used_to_fit\": " + std::to_string(read.update->episodes)),
              std::string::npos);
    // The CSV report has it as its last row, and nothing on standard error.
    const Outcome csv = run("--format csv" + both);
    EXPECT_EQ(csv.status, 0) << csv.out;
    const std::string lastRow = csv.out.substr(csv.out.rfind("\r\n", csv.out.size() - 3) + 2);
    EXPECT_EQ(lastRow.find("\"P-POSSUM mortality, updated on an unnamed unit, "), 0u) << lastRow;
    EXPECT_NE(lastRow.find(",mortality,update,"), std::string::npos) << lastRow;
    EXPECT_NE(lastRow.find("update.json,recalibration_in_the_large," +
                           std::to_string(read.update->episodes) + ","),
              std::string::npos)
        << lastRow;
    EXPECT_EQ(csv.out.find("caldrin-audit:"), std::string::npos) << "no note on standard error";

    // Damaged updates are refused whole, each with its reason, and the
    // analysis still runs.
    const std::string good = slurp(update);
    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string text = good;
        const auto at = text.find(from);
        return at == std::string::npos ? text : text.replace(at, from.size(), to);
    };
    const std::pair<std::string, std::string> damaged[] = {
        {good.substr(0, good.size() / 2), "cut short"},
        {replaced("\"schema_version\": 1", "\"schema_version\": 2"), "schema version 2"},
        {replaced("\"episodes\": ", "\"episodes\": -"), "\"episodes\" is not a whole number"},
        {replaced("\"coefficients\": [\n    -", "\"coefficients\": [\n    -1e999, -"),
         "not finite"},
        {replaced("\"covariance\": [\n    [\n      ", "\"covariance\": [\n    [\n      -"),
         "not positive definite"},
        {replaced("\"unit\": \"\"", "\"unit\": \"Ward 9\""), "checksum does not match"},
    };
    for (const auto& [text, reason] : damaged) {
        { std::ofstream(dir_ / "damaged.json", std::ios::binary) << text; }
        const Outcome r = run("--limit 4 --update-file '" + (dir_ / "damaged.json").string() +
                              "' '" + input.string() + "'");
        EXPECT_EQ(r.status, 2) << reason << "\n" << r.out;
        EXPECT_NE(r.out.find(reason), std::string::npos) << reason << "\n" << r.out;
        EXPECT_NE(r.out.find("Risk bands, P-POSSUM mortality"), std::string::npos);
    }
    const Outcome refusedCsv = run("--format csv --limit 4 --update-file '" +
                                   (dir_ / "damaged.json").string() + "' '" + input.string() + "'");
    EXPECT_EQ(refusedCsv.status, 2);
    EXPECT_NE(refusedCsv.out.find(
                  "/damaged.json,,,,,,The update file is refused: Its checksum does not match"),
              std::string::npos)
        << refusedCsv.out.substr(refusedCsv.out.size() - 300);

    // A file that is no update is refused by name, and the analysis still runs.
    const Outcome refused =
        run("--limit 4 --update-file '" + input.string() + "' '" + input.string() + "'");
    EXPECT_EQ(refused.status, 2) << refused.out;
    EXPECT_NE(refused.out.find("The update file is not JSON"), std::string::npos) << refused.out;
    EXPECT_NE(refused.out.find("Risk bands, P-POSSUM mortality"), std::string::npos);
    // Nor is a report written over an update read.
    EXPECT_EQ(run("--limit 4 --update-file '" + update.string() + "' --output '" + update.string() +
                  "' '" + input.string() + "'")
                  .status,
              2);
    EXPECT_TRUE(caldrin::modelupdate::readUpdateFile(update.string()).update);
}
