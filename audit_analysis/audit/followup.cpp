// SPDX-License-Identifier: GPL-3.0-or-later
#include "audit/followup.h"

#include "audit/completeness.h"

#include <algorithm>

namespace caldrin::audit {

std::optional<LeadingFields> splitLeadingFields(std::string_view bytes) {
    if (bytes.empty())
        return std::nullopt;
    LeadingFields fields;
    std::size_t field = 0;
    std::size_t i = 0;
    for (;;) {
        std::string& text = fields[field];
        if (i < bytes.size() && bytes[i] == '"') {
            // Quoted: doubled quotes stand for one; anything after the
            // closing quote stays with the field, as the reader keeps it.
            for (++i; i < bytes.size(); ++i) {
                if (bytes[i] == '"') {
                    if (i + 1 < bytes.size() && bytes[i + 1] == '"') {
                        text += '"';
                        ++i;
                        continue;
                    }
                    ++i;
                    break;
                }
                text += bytes[i];
            }
        }
        while (i < bytes.size() && bytes[i] != ',')
            text += bytes[i++];
        if (i == bytes.size())
            break;
        ++i;
        if (++field == fields.size())
            return std::nullopt;
    }
    if (field + 1 != fields.size())
        return std::nullopt;
    return fields;
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

namespace {

// Name, identity number and date of birth all empty: such a record is never
// merged with another.
bool hasNoIdentity(std::string_view leading) {
    if (leading.starts_with(",,,"))
        return true;
    if (leading.find('"') == std::string_view::npos)
        return false;
    const auto fields = splitLeadingFields(leading);
    return fields && (*fields)[0].empty() && (*fields)[1].empty() && (*fields)[2].empty();
}

} // namespace

std::string_view followUpBarText(FollowUpBar bar) {
    switch (bar) {
    case FollowUpBar::None:
        return "";
    case FollowUpBar::IdentityNotTrusted:
        return "the record has more fields than the file has columns, so its identity is not "
               "trusted and no later record can take its place";
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
        const std::string_view leading = data.leadingFields(i);
        if (e.identityUnreliable)
            outstanding.bar = FollowUpBar::IdentityNotTrusted;
        else if (leading.empty())
            outstanding.bar = FollowUpBar::NotKept;
        else if (hasNoIdentity(leading))
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
