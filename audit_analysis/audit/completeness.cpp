// SPDX-License-Identifier: GPL-3.0-or-later
#include "audit/completeness.h"

#include <algorithm>
#include <map>

namespace caldrin::audit {

std::optional<double> CompletenessCounts::knownShareOfDue() const {
    if (due() == 0)
        return std::nullopt;
    return static_cast<double>(knownDue) / static_cast<double>(due());
}

bool OutcomeCompleteness::incomplete() const {
    const std::optional<double> share = overall.knownShareOfDue();
    return share && *share < kCompleteShare;
}

bool isDue(std::int32_t day, std::int32_t today, int dueDays) {
    return day == Episode::kNoDay ||
           static_cast<std::int64_t>(today) - day >= static_cast<std::int64_t>(dueDays);
}

namespace {

void count(CompletenessCounts& counts, bool known, bool due, bool dated) {
    if (known)
        ++(due ? counts.knownDue : counts.knownNotDue);
    else
        ++(due ? counts.unknownDue : counts.unknownNotDue);
    if (!known && !dated)
        ++counts.unknownNoDate;
}

} // namespace

Completeness measureCompleteness(const AuditData& data, const std::vector<std::uint32_t>& episodes,
                                 const Date& today, int dueDays) {
    Completeness completeness;
    completeness.today = today;
    completeness.dueDays = dueDays;
    const std::int32_t todayDay = dayNumber(today);
    // Months as year * 12 + month - 1, so that the map keeps them in order.
    std::array<std::map<std::int32_t, CompletenessCounts>, 2> months;
    const std::vector<Episode>& all = data.episodes();
    for (const std::uint32_t i : episodes) {
        const Episode& episode = all[i];
        const bool dated = episode.day != Episode::kNoDay;
        const bool due = isDue(episode.day, todayDay, dueDays);
        const std::int8_t outcomes[2] = {episode.morbidity, episode.mortality};
        std::int32_t month = 0;
        if (dated) {
            const Date date = dateFromDayNumber(episode.day);
            month = date.year * 12 + date.month - 1;
        }
        for (std::size_t o = 0; o < 2; ++o) {
            const bool known = outcomes[o] >= 0;
            count(completeness.outcomes[o].overall, known, due, dated);
            if (dated)
                count(months[o][month], known, due, dated);
        }
    }
    for (std::size_t o = 0; o < 2; ++o) {
        OutcomeCompleteness& outcome = completeness.outcomes[o];
        outcome.outcome = o == 0 ? Outcome::Morbidity : Outcome::Mortality;
        for (const auto& [month, counts] : months[o])
            outcome.byMonth.push_back({month / 12, month % 12 + 1, counts});
    }
    return completeness;
}

} // namespace caldrin::audit
