// SPDX-License-Identifier: GPL-3.0-or-later
#include "audit/followup.h"

#include "audit/completeness.h"

#include <algorithm>

namespace caldrin::audit {

std::optional<LeadingFields> followUpFields(const AuditData& data, std::size_t episode) {
    const std::vector<std::string_view> kept = data.leadingFields(episode);
    if (kept.size() != LeadingFields().size())
        return std::nullopt;
    LeadingFields fields;
    std::copy(kept.begin(), kept.end(), fields.begin());
    return fields;
}

std::string followUpKey(const AuditData& data, std::size_t episode) {
    std::string key;
    for (const std::string_view field : data.leadingFields(episode))
        key += quoteCsvField(field) + ',';
    return key;
}

std::optional<std::string> identityAsWritten(const AuditData& data, std::size_t episode) {
    const std::vector<std::string_view> kept = data.leadingFields(episode);
    // Read from the right, DATE .. VP_MORT are the last 26 fields kept.
    constexpr std::size_t kFromDate = auditcolumn::kMorbidity - auditcolumn::kDate;
    if (kept.size() <= LeadingFields().size())
        return std::nullopt;
    std::string text;
    for (std::size_t i = 0; i + kFromDate < kept.size(); ++i) {
        if (i > 0)
            text += ',';
        text += kept[i];
    }
    return text;
}

std::string_view followUpStateText(FollowUpState state) {
    switch (state) {
    case FollowUpState::Due:
        return "due";
    case FollowUpState::NoDate:
        return "no readable date";
    case FollowUpState::NotYetDue:
        return "not yet due";
    }
    return "";
}

std::string_view followUpBarText(FollowUpBar bar) {
    switch (bar) {
    case FollowUpBar::None:
        return "";
    case FollowUpBar::IdentityNotTrusted:
        return "the line has more fields than the file has columns (a comma in the name, "
               "identity number or date of birth, written without quotes), so its identity is "
               "not trusted and no later record can take its place";
    case FollowUpBar::NoIdentity:
        return "the record has no name, identity number, date of birth or hashed identifier, so "
               "no later record can be matched to it";
    case FollowUpBar::NotKept:
        return "the record's fields were not kept when it was read";
    }
    return "";
}

std::vector<OutstandingEpisode> outstandingEpisodes(const AuditData& data,
                                                    const FollowUpOptions& options) {
    const std::int32_t today = dayNumber(options.today);
    const std::int32_t from = options.from ? dayNumber(*options.from) : INT32_MIN;
    const std::int32_t to = options.to ? dayNumber(*options.to) : INT32_MAX;
    const bool ranged = options.from || options.to;
    std::vector<OutstandingEpisode> list;
    const std::vector<Episode>& episodes = data.episodes();
    for (std::size_t i = 0; i < episodes.size(); ++i) {
        const Episode& e = episodes[i];
        if (e.morbidity >= 0 && e.mortality >= 0)
            continue;
        const bool dated = e.day != Episode::kNoDay;
        if (ranged && (!dated || e.day < from || e.day > to))
            continue;
        OutstandingEpisode outstanding;
        outstanding.episode = static_cast<std::uint32_t>(i);
        if (dated)
            outstanding.daysSince = today - e.day;
        outstanding.state = !dated                                 ? FollowUpState::NoDate
                            : isDue(e.day, today, options.dueDays) ? FollowUpState::Due
                                                                   : FollowUpState::NotYetDue;
        // Decided on the fields a record of the outcome would repeat, so that
        // what is listed as followed up is what can be written.
        const std::vector<std::string_view> fields = data.leadingFields(i);
        if (e.identityUnreliable)
            outstanding.bar = FollowUpBar::IdentityNotTrusted;
        else if (fields.size() != LeadingFields().size())
            outstanding.bar = FollowUpBar::NotKept;
        else if (fields[0].empty() && fields[1].empty() && fields[2].empty())
            outstanding.bar = FollowUpBar::NoIdentity;
        list.push_back(std::move(outstanding));
    }
    auto rank = [](const OutstandingEpisode& o) {
        return o.state == FollowUpState::Due ? 0 : o.state == FollowUpState::NoDate ? 1 : 2;
    };
    std::stable_sort(list.begin(), list.end(),
                     [&](const OutstandingEpisode& l, const OutstandingEpisode& r) {
                         if (rank(l) != rank(r))
                             return rank(l) < rank(r);
                         return l.daysSince.value_or(0) > r.daysSince.value_or(0);
                     });
    return list;
}

} // namespace caldrin::audit
