// SPDX-License-Identifier: GPL-3.0-or-later
#include "audit/auditanalysis.h"
#include "audit/text.h"
#include "auditformat/columns.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <sys/file.h>
#include <sys/stat.h>
#include <utility>

namespace caldrin::audit {

namespace {

constexpr std::size_t kFieldCount = kAuditFieldCount;
constexpr std::size_t kIdentityFields = 4; // NAME, ID, DOB, DATE
constexpr std::size_t kRightFields = 27;   // AGE .. MORTALITY, read from the right when shifted
constexpr std::size_t kBlockSize = 1 << 20;
// A quoted field may hold line ends, but one that is still open after this
// many bytes is taken for a stray quote.
constexpr std::size_t kMaxQuotedRecord = 1 << 16;
// A record longer than this (no line end in sight) is skipped.
constexpr std::size_t kMaxRecord = 4 << 20;
// How much of a file's start decides whether it is text at all.
constexpr std::size_t kTextSample = 64 << 10;

constexpr const auto& kColumns = kAuditColumns;
constexpr std::size_t kPhysTotalColumn = auditcolumn::kPhysiologicalTotal;
constexpr std::size_t kOpTotalColumn = auditcolumn::kOperativeTotal;
constexpr std::size_t kFirstRiskColumn = auditcolumn::kFirstRisk;
constexpr std::size_t kMorbidityColumn = auditcolumn::kMorbidity;
constexpr std::size_t kMortalityColumn = auditcolumn::kMortality;

std::string_view trimSpaces(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// A whole number of at most nine digits, spaces around it allowed.
std::optional<std::uint32_t> readWhole(std::string_view text) {
    text = trimSpaces(text);
    if (text.empty() || text.size() > 9)
        return std::nullopt;
    std::uint32_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + static_cast<std::uint32_t>(c - '0');
    }
    return value;
}

// A risk fraction from 0 to 1 with at most four decimals, in ten-thousandths.
std::optional<std::uint16_t> readRisk(std::string_view text) {
    text = trimSpaces(text);
    std::uint32_t whole = 0;
    std::size_t i = 0;
    std::size_t digits = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++digits) {
        whole = whole * 10 + static_cast<std::uint32_t>(text[i] - '0');
        if (whole > 1)
            return std::nullopt;
    }
    std::uint32_t fraction = 0;
    std::size_t decimals = 0;
    if (i < text.size() && text[i] == '.') {
        for (++i; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++decimals) {
            if (decimals == 4)
                return std::nullopt;
            fraction = fraction * 10 + static_cast<std::uint32_t>(text[i] - '0');
        }
    }
    if (i != text.size() || digits + decimals == 0)
        return std::nullopt;
    for (; decimals < 4; ++decimals)
        fraction *= 10;
    const std::uint32_t value = whole * 10000 + fraction;
    if (value > 10000)
        return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

std::int8_t readOutcome(std::string_view text) {
    text = trimSpaces(text);
    if (text == "0")
        return 0;
    if (text == "1")
        return 1;
    return -1;
}

// 128 bits of identity: two independent 64-bit hashes of the key texts. With
// a million episodes a false match has a chance of about 1 in 10^26.
struct Key {
    std::uint64_t first = 0;
    std::uint64_t second = 0;
    friend bool operator==(const Key&, const Key&) = default;
};

class KeyHasher {
public:
    void add(std::string_view text) {
        mix(text.size());
        std::size_t i = 0;
        for (; i + 8 <= text.size(); i += 8) {
            std::uint64_t word;
            std::memcpy(&word, text.data() + i, 8);
            mix(word);
        }
        std::uint64_t tail = 0;
        std::memcpy(&tail, text.data() + i, text.size() - i);
        mix(tail);
    }
    Key key() const { return {finish(a_), finish(b_)}; }

private:
    void mix(std::uint64_t word) {
        a_ = (a_ ^ word) * 0x9E3779B97F4A7C15ULL;
        a_ ^= a_ >> 29;
        b_ = (b_ + word) * 0xD6E8FEB86659FD93ULL;
        b_ ^= b_ >> 32;
        b_ = rotate(b_, 23);
    }
    static std::uint64_t rotate(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
    static std::uint64_t finish(std::uint64_t z) {
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    std::uint64_t a_ = 0x243F6A8885A308D3ULL;
    std::uint64_t b_ = 0x13198A2E03707344ULL;
};

// Where a field's text lies: in the read buffer, or in the scratch text
// when quotes had to be undone.
struct FieldRef {
    std::uint32_t begin = 0;
    std::uint32_t length = 0;
    bool inScratch = false;
};

enum class Scan { Record, NeedMore, StrayQuote, Unterminated };

// Splits one record off [begin, end): fields separated by commas, quoted
// per RFC 4180 (a quoted field may hold commas, doubled quotes and line ends),
// ended by LF with an optional CR before it.
class RecordScanner {
public:
    std::vector<FieldRef> fields;
    std::string scratch;
    const char* next = nullptr; // after the record
    std::uint32_t lineEnds = 0; // physical lines the record took

    Scan scan(const char* begin, const char* end, bool atEof) {
        fields.clear();
        scratch.clear();
        lineEnds = 0;
        const char* p = begin;
        for (;;) {
            FieldRef field;
            if (p < end && *p == '"') {
                const Scan quoted = scanQuoted(begin, p, end, atEof, field);
                if (quoted != Scan::Record)
                    return quoted;
            } else {
                const char* q = p;
                while (q < end && *q != ',' && *q != '\n')
                    ++q;
                if (q == end && !atEof)
                    return Scan::NeedMore;
                const char* fieldEnd = q;
                if (q < end && *q == '\n' && fieldEnd > p && fieldEnd[-1] == '\r')
                    --fieldEnd;
                field = {static_cast<std::uint32_t>(p - begin),
                         static_cast<std::uint32_t>(fieldEnd - p), false};
                p = q;
            }
            fields.push_back(field);
            if (p == end) {
                next = end;
                return Scan::Unterminated;
            }
            if (*p == ',') {
                ++p;
                continue;
            }
            ++lineEnds;
            next = p + 1;
            return Scan::Record;
        }
    }

    std::string_view text(const char* begin, const FieldRef& field) const {
        return field.inScratch ? std::string_view(scratch).substr(field.begin, field.length)
                               : std::string_view(begin + field.begin, field.length);
    }

private:
    Scan scanQuoted(const char* begin, const char*& p, const char* end, bool atEof,
                    FieldRef& field) {
        ++p;
        const char* chunk = p;
        const std::size_t scratchStart = scratch.size();
        bool copied = false;
        for (;;) {
            const char* q = static_cast<const char*>(std::memchr(p, '"', end - p));
            const char* scanned = q ? q : end;
            for (const char* c = p; c < scanned; ++c)
                if (*c == '\n')
                    ++lineEnds;
            if (static_cast<std::size_t>(scanned - begin) > kMaxQuotedRecord && lineEnds > 0)
                return Scan::StrayQuote;
            if (!q)
                return atEof ? Scan::StrayQuote : Scan::NeedMore;
            if (q + 1 == end && !atEof)
                return Scan::NeedMore;
            if (q + 1 < end && q[1] == '"') {
                scratch.append(chunk, q + 1);
                copied = true;
                p = q + 2;
                chunk = p;
                continue;
            }
            // Closing quote. Anything up to the next comma or line end is
            // kept with the field rather than lost.
            const char* tail = q + 1;
            const char* tailEnd = tail;
            while (tailEnd < end && *tailEnd != ',' && *tailEnd != '\n')
                ++tailEnd;
            if (tailEnd == end && !atEof)
                return Scan::NeedMore;
            const char* keptTailEnd = tailEnd;
            if (tailEnd < end && *tailEnd == '\n' && keptTailEnd > tail && keptTailEnd[-1] == '\r')
                --keptTailEnd;
            if (copied || keptTailEnd > tail) {
                scratch.append(chunk, q);
                scratch.append(tail, keptTailEnd);
                field = {static_cast<std::uint32_t>(scratchStart),
                         static_cast<std::uint32_t>(scratch.size() - scratchStart), true};
            } else {
                field = {static_cast<std::uint32_t>(chunk - begin),
                         static_cast<std::uint32_t>(q - chunk), false};
            }
            p = tailEnd;
            return Scan::Record;
        }
    }
};

std::string plural(std::uint64_t count, std::string_view one, std::string_view many) {
    return std::to_string(count) + " " + std::string(count == 1 ? one : many);
}

std::uint64_t countLineEnds(const char* begin, const char* end) {
    return static_cast<std::uint64_t>(std::count(begin, end, '\n'));
}

// Why a file's first bytes are not the text of an audit data file, or nothing
// when they may be. The calculator writes Windows-1252 text, which holds no
// NUL and almost no other control codes; a stray one in a damaged file is
// left to the line-by-line reading, but a start full of them (UTF-16 text, a
// spreadsheet, a disk image, random bytes) is refused whole rather than
// reported line by line, or read for ever from a device.
std::string notTextReason(std::string_view start) {
    if (start.starts_with("\xFF\xFE") || start.starts_with("\xFE\xFF"))
        return "it is UTF-16 text, not an audit data file (those are Windows-1252 text)";
    std::size_t nul = 0;
    std::size_t control = 0;
    for (const char c : start) {
        const auto b = static_cast<unsigned char>(c);
        nul += b == 0;
        control += (b < 0x20 && b != '\t' && b != '\n' && b != '\r' && b != '\f' && b != 0x1A) ||
                   b == 0x7F;
    }
    if (control * 100 <= start.size())
        return {};
    if (nul * 3 >= start.size() && nul * 3 <= 2 * start.size())
        return "it looks like UTF-16 text (every other byte is NUL), not an audit data file (those "
               "are Windows-1252 text)";
    return "it is not text (" + std::to_string(control * 100 / start.size()) +
           "% of its first bytes are NUL or control codes), so it is not an audit data file";
}

// Kept fields are stored one after the other, each after its length in
// seven-bit groups (one byte for a field of under 128 bytes).
void appendKeptField(std::string& store, std::string_view field) {
    std::size_t length = field.size();
    do {
        const auto group = static_cast<unsigned char>(length & 0x7F);
        length >>= 7;
        store += static_cast<char>(length ? group | 0x80 : group);
    } while (length);
    store.append(field);
}

std::vector<std::string_view> keptFields(std::string_view store) {
    std::vector<std::string_view> fields;
    while (!store.empty()) {
        std::size_t length = 0;
        int shift = 0;
        unsigned char group = 0;
        do {
            group = static_cast<unsigned char>(store.front());
            store.remove_prefix(1);
            length |= static_cast<std::size_t>(group & 0x7F) << shift;
            shift += 7;
        } while ((group & 0x80) && !store.empty());
        fields.push_back(store.substr(0, length));
        store.remove_prefix(std::min(length, store.size()));
    }
    return fields;
}

// Whether a writer holds the file's lock, asked without waiting. The
// calculator holds an exclusive lock on its audit file for as long as it has
// it open; a shared lock taken here is released at once.
bool writerHoldsLock(int fd) {
    if (::flock(fd, LOCK_SH | LOCK_NB) != 0)
        return errno == EWOULDBLOCK;
    ::flock(fd, LOCK_UN);
    return false;
}

} // namespace

struct AuditData::State {
    std::vector<FileSummary> files;
    std::vector<Episode> episodes;
    std::vector<std::uint32_t> dateOffset;
    std::vector<std::uint8_t> dateLength;
    std::string dateTexts;
    // Per episode, where its leading fields lie in `leadingTexts` (only with
    // ReadOptions::keepLeadingFields; length 0 when not kept), as
    // appendKeptField stores them.
    std::vector<std::uint64_t> leadingOffset;
    std::vector<std::uint32_t> leadingLength;
    std::string leadingTexts;
    // The MORBIDITY and MORTALITY texts as written, kept after the leading
    // fields in `leadingTexts` (at most 255 bytes each).
    std::vector<std::array<std::uint8_t, 2>> outcomeLength;
    std::uint64_t recordsRead = 0;
    std::uint64_t merged = 0;
    std::uint64_t unparseableDates = 0;
};

struct AuditReader::State {
    ReadOptions options;
    AuditData::State data;
    std::vector<Key> keys;
    std::vector<bool> mergeable;
    RecordScanner scanner;
    std::vector<std::string_view> views;
    // Every regular file read, so that none is read twice under two names.
    struct FileRead {
        dev_t device;
        ino_t inode;
        std::size_t index; // into the files
    };
    std::vector<FileRead> filesRead;

    FileSummary* file = nullptr;
    std::uint32_t fileIndex = 0;
    // Whether a writer held the file when its end was reached.
    bool writerHolds = false;
    // The bytes of all the files about to be read (expectBytes), until the
    // first of them proves to be text.
    std::uint64_t expectedBytes = 0;

    void reserveFor(std::uint64_t bytes) {
        // Untouched capacity costs address space only; it saves the copies
        // (and the doubled memory) of growing one record at a time. Room
        // grows at least twofold, so that many small files cost no more than
        // one large one. A guess too large for the address space (a sparse
        // file) is simply not made.
        const std::size_t guess = data.episodes.size() + static_cast<std::size_t>(bytes / 64) + 16;
        if (guess <= data.episodes.capacity())
            return;
        const std::size_t room = std::max(guess, 2 * data.episodes.capacity());
        try {
            data.episodes.reserve(room);
            data.dateOffset.reserve(room);
            data.dateLength.reserve(room);
            keys.reserve(room);
            if (options.keepLeadingFields) {
                data.leadingOffset.reserve(room);
                data.leadingLength.reserve(room);
                data.outcomeLength.reserve(room);
            }
            data.dateTexts.reserve(
                std::max(data.dateTexts.size() + static_cast<std::size_t>(bytes / 8),
                         2 * data.dateTexts.capacity()));
        } catch (const std::bad_alloc&) {
        } catch (const std::length_error&) {
        }
    }

    void problem(std::uint64_t line, std::string reason, bool skipped = true) {
        if (file->problems.size() < kProblemsKept)
            file->problems.push_back({line, std::move(reason), skipped});
        else
            ++file->problemsNotKept;
    }

    void record(std::uint64_t line);
    void readLastLine(const char* begin, std::uint64_t line);
    void consume(const char* begin, const char* end, bool atEof, std::uint64_t& line,
                 std::size_t& used);
};

void AuditReader::State::record(std::uint64_t line) {
    const std::vector<std::string_view>& f = views;
    const std::size_t count = f.size();
    if (count == 1 && trimSpaces(f[0]).empty()) {
        ++file->blankLines;
        return;
    }
    if (count == kFieldCount && equalsIgnoringCase(trimSpaces(f[0]), "NAME") &&
        equalsIgnoringCase(trimSpaces(f[kFieldCount - 1]), "MORTALITY")) {
        ++file->headerLines;
        return;
    }
    if (count < kFieldCount) {
        problem(line, plural(count, "field", "fields") +
                          " where 31 are expected (the line starts " + printableQuote(f[0]) +
                          "); not read");
        return;
    }
    ++file->fullLines;
    const bool shifted = count > kFieldCount;
    // Column c of the record: the identity columns from the left, the rest
    // from the right, so that a comma typed into a name shifts nothing that
    // is counted.
    auto column = [&](std::size_t c) {
        return c < kIdentityFields - 1 ? f[c] : f[count - kFieldCount + c];
    };

    Episode episode;
    auto refuse = [&](std::size_t c, std::string_view what) {
        std::string reason;
        if (shifted)
            reason =
                std::to_string(count) + " fields where 31 are expected, and read from the right ";
        reason += "column " + std::string(kColumns[c]) + " holds " + printableQuote(column(c)) +
                  ", which is not " + std::string(what) + "; not read";
        problem(line, std::move(reason));
    };
    for (std::size_t c = kIdentityFields; c < kFirstRiskColumn; ++c) {
        const auto value = readWhole(column(c));
        const bool total = c == kPhysTotalColumn || c == kOpTotalColumn;
        if (!value || (total && *value > 255)) {
            refuse(c, total ? "a score from 0 to 255" : "a whole number of points");
            return;
        }
        if (c == kPhysTotalColumn)
            episode.physiologicalScore = static_cast<std::uint8_t>(*value);
        if (c == kOpTotalColumn)
            episode.operativeScore = static_cast<std::uint8_t>(*value);
    }
    for (std::size_t m = 0; m < kStoredModelCount; ++m) {
        const auto risk = readRisk(column(kFirstRiskColumn + m));
        if (!risk) {
            refuse(kFirstRiskColumn + m, "a risk from 0 to 1 with at most four decimals");
            return;
        }
        episode.riskTenThousandths[m] = *risk;
    }
    episode.morbidity = readOutcome(column(kMorbidityColumn));
    episode.mortality = readOutcome(column(kMortalityColumn));
    episode.file = fileIndex;
    episode.line = static_cast<std::uint32_t>(line);
    episode.identityUnreliable = shifted;

    const std::string_view date = column(3);
    if (const auto parsed = readProcedureDate(date, options.dateOrder, options.currentYear))
        episode.day = dayNumber(*parsed);
    const std::string_view keptDate = date.substr(0, 255);
    data.dateOffset.push_back(static_cast<std::uint32_t>(data.dateTexts.size()));
    data.dateLength.push_back(static_cast<std::uint8_t>(keptDate.size()));
    data.dateTexts.append(keptDate);

    const std::string_view name = f[0];
    const std::string_view id = f[1];
    const std::string_view dob = f[2];
    bool canMerge = !shifted && !(name.empty() && id.empty() && dob.empty());
    KeyHasher hasher;
    if (isHashedIdentifier(name)) {
        hasher.add("#");
        hasher.add(name);
    } else {
        hasher.add("=");
        hasher.add(name);
        hasher.add(id);
        hasher.add(dob);
    }
    hasher.add(date);
    keys.push_back(hasher.key());
    mergeable.push_back(canMerge);
    if (options.keepLeadingFields) {
        // The fields as split here, so that a record made from them reads
        // back as the same fields: all before MORBIDITY, more than 29 for a
        // line read from the right. The outcome texts follow them.
        const std::size_t start = data.leadingTexts.size();
        std::array<std::string_view, 2> outcomes{};
        if (episode.morbidity < 0 || episode.mortality < 0) {
            for (std::size_t c = 0; c + 2 < count; ++c)
                appendKeptField(data.leadingTexts, f[c]);
            outcomes = {column(kMorbidityColumn).substr(0, 255),
                        column(kMortalityColumn).substr(0, 255)};
        }
        data.leadingOffset.push_back(start);
        data.leadingLength.push_back(static_cast<std::uint32_t>(data.leadingTexts.size() - start));
        data.outcomeLength.push_back({static_cast<std::uint8_t>(outcomes[0].size()),
                                      static_cast<std::uint8_t>(outcomes[1].size())});
        data.leadingTexts.append(outcomes[0]);
        data.leadingTexts.append(outcomes[1]);
    }
    data.episodes.push_back(episode);
    ++file->records;
    ++data.recordsRead;

    if (shifted)
        problem(line,
                std::to_string(count) +
                    " fields where 31 are expected (a comma in the name, identity number or "
                    "date of birth?): the figures were read from the right; the identity is "
                    "not trusted and the record is never merged",
                false);
}

// A last line without a line end, scanned to the end of the text: its last field
// loses the CR and end-of-file marks a line end would have carried.
void AuditReader::State::readLastLine(const char* begin, std::uint64_t line) {
    views.clear();
    for (const FieldRef& field : scanner.fields)
        views.push_back(scanner.text(begin, field));
    while (!views.empty() && !views.back().empty() &&
           (views.back().back() == '\r' || views.back().back() == '\x1A'))
        views.back().remove_suffix(1);
    const std::uint64_t before = file->records;
    record(line);
    if (file->records > before)
        problem(line,
                "the last line has no line end (the file was edited or saved by another "
                "program); it was read as it stands",
                false);
}

// Takes every whole record out of [begin, end); `used` says how far it got.
void AuditReader::State::consume(const char* begin, const char* end, bool atEof,
                                 std::uint64_t& line, std::size_t& used) {
    const char* p = begin;
    while (p < end) {
        const Scan result = scanner.scan(p, end, atEof);
        if (result == Scan::NeedMore)
            break;
        const std::uint64_t startLine = line + 1;
        // A quoted field may run over line ends, but only inside a record of
        // the right length; otherwise the quote is a stray one and the lines
        // after it are read on their own.
        const bool strayQuote =
            result == Scan::StrayQuote || (result == Scan::Record && scanner.lineEnds > 1 &&
                                           scanner.fields.size() != kFieldCount);
        if (strayQuote) {
            const char* lineEnd = static_cast<const char*>(std::memchr(p, '\n', end - p));
            if (!lineEnd && !atEof)
                break;
            problem(startLine, "a double quote opens a field that is never closed; not read");
            if (!lineEnd) {
                ++file->lines;
                p = end;
                break;
            }
            ++line;
            ++file->lines;
            p = lineEnd + 1;
            continue;
        }
        if (result == Scan::Unterminated) {
            bool onlyBlank = true;
            for (const char* c = p; c < end; ++c)
                if (*c != ' ' && *c != '\t' && *c != '\r' && *c != '\x1A')
                    onlyBlank = false;
            if (!onlyBlank && writerHolds) {
                problem(startLine, "the last line has no line end and a program holds the file "
                                   "for writing (it may still be being written); not read");
            } else if (!onlyBlank) {
                // No writer holds the file: the line was left so by a
                // program that edited or exported it, and is read if whole.
                readLastLine(p, startLine);
            }
            if (!onlyBlank)
                file->lines += scanner.lineEnds + 1;
            p = end;
            break;
        }
        views.clear();
        for (const FieldRef& field : scanner.fields)
            views.push_back(scanner.text(p, field));
        record(startLine);
        line += scanner.lineEnds;
        file->lines += scanner.lineEnds;
        p = scanner.next;
    }
    used = static_cast<std::size_t>(p - begin);
}

AuditReader::AuditReader(ReadOptions options)
    : state_(std::make_unique<State>()) {
    state_->options = options;
}

AuditReader::~AuditReader() = default;

void AuditReader::expectBytes(std::uint64_t bytes) {
    state_->expectedBytes = bytes;
}

const std::vector<FileSummary>& AuditReader::files() const {
    return state_->data.files;
}

void AuditReader::addText(std::string_view name, std::string_view text, bool writerHoldsIt) {
    State& s = *state_;
    s.writerHolds = writerHoldsIt;
    s.fileIndex = static_cast<std::uint32_t>(s.data.files.size());
    s.data.files.push_back({});
    s.file = &s.data.files.back();
    s.file->path = std::string(name);
    s.file->bytes = text.size();
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    if (std::string reason = notTextReason(text.substr(0, kTextSample)); !reason.empty()) {
        s.file->openError = std::move(reason);
        return;
    }
    s.file->opened = true;
    s.reserveFor(text.size());
    std::uint64_t line = 0;
    std::size_t used = 0;
    s.consume(text.data(), text.data() + text.size(), true, line, used);
    settleFileKind(*s.file);
}

bool AuditReader::addFile(const std::string& path, const Progress& progress) {
    State& s = *state_;
    s.fileIndex = static_cast<std::uint32_t>(s.data.files.size());
    s.data.files.push_back({});
    s.file = &s.data.files.back();
    s.file->path = path;

    std::FILE* stream = std::fopen(path.c_str(), "rb");
    if (!stream) {
        s.file->openError = std::strerror(errno);
        return false;
    }
    struct stat info {};
    if (::fstat(fileno(stream), &info) != 0) {
        s.file->openError = std::strerror(errno);
        std::fclose(stream);
        return false;
    }
    // A pipe given on purpose is read like a file; a device or a socket
    // could go on for ever.
    if (!S_ISREG(info.st_mode) && !S_ISFIFO(info.st_mode)) {
        s.file->openError = S_ISDIR(info.st_mode)
                                ? std::string(std::strerror(EISDIR))
                                : "not a regular file (a device or the like); audit data files "
                                  "are ordinary files";
        std::fclose(stream);
        return false;
    }
    if (S_ISREG(info.st_mode)) {
        const auto earlier =
            std::find_if(s.filesRead.begin(), s.filesRead.end(), [&](const State::FileRead& f) {
                return f.device == info.st_dev && f.inode == info.st_ino;
            });
        if (earlier != s.filesRead.end()) {
            std::fclose(stream);
            s.file->sameFileAs = earlier->index;
            return true;
        }
        s.filesRead.push_back({info.st_dev, info.st_ino, s.fileIndex});
    }
    const std::uint64_t size = S_ISREG(info.st_mode) ? static_cast<std::uint64_t>(info.st_size) : 0;
    s.file->opened = true;

    std::vector<char> buffer(kBlockSize);
    std::size_t held = 0;
    std::uint64_t line = 0;
    bool first = true;
    bool atEof = false;
    bool ok = true;
    while (!atEof) {
        if (held == buffer.size()) {
            if (buffer.size() >= kMaxRecord) {
                // One record fills the buffer: skip to the end of its line.
                // Line ends already inside it (in quotes) are lines too.
                s.problem(line + 1, "a line longer than 4 MiB; not read");
                line += countLineEnds(buffer.data(), buffer.data() + held);
                const char* lf = nullptr;
                std::size_t got = 0;
                do {
                    got = std::fread(buffer.data(), 1, buffer.size(), stream);
                    s.file->bytes += got;
                    lf = static_cast<const char*>(std::memchr(buffer.data(), '\n', got));
                } while (!lf && got > 0);
                ++line;
                held = lf ? got - static_cast<std::size_t>(lf + 1 - buffer.data()) : 0;
                if (lf)
                    std::memmove(buffer.data(), lf + 1, held);
                s.file->lines = line;
                atEof = got == 0;
                if (atEof)
                    break;
                continue;
            }
            buffer.resize(buffer.size() * 2);
        }
        const std::size_t got = std::fread(buffer.data() + held, 1, buffer.size() - held, stream);
        if (got == 0) {
            if (std::ferror(stream)) {
                s.file->openError = std::strerror(errno);
                ok = false;
            }
            atEof = true;
            // Asked at the end, where an unfinished line would be.
            s.writerHolds = S_ISREG(info.st_mode) && writerHoldsLock(fileno(stream));
        }
        s.file->bytes += got;
        held += got;
        const char* begin = buffer.data();
        if (first && !atEof && held < kTextSample)
            continue; // a pipe may deliver the start in pieces
        if (first) {
            if (held >= 3 && std::memcmp(begin, "\xEF\xBB\xBF", 3) == 0) {
                begin += 3;
                held -= 3;
                std::memmove(buffer.data(), begin, held);
                begin = buffer.data();
            }
            if (std::string reason = notTextReason({begin, std::min(held, kTextSample)});
                !reason.empty()) {
                s.file->opened = false;
                s.file->openError = std::move(reason);
                std::fclose(stream);
                return false;
            }
            // Only a file that starts as text is trusted with its size (a
            // sparse file's says nothing of its records).
            s.reserveFor(std::max(size, std::exchange(s.expectedBytes, 0)));
        }
        first = false;
        std::size_t used = 0;
        s.consume(begin, begin + held, atEof, line, used);
        held -= used;
        std::memmove(buffer.data(), buffer.data() + used, held);
        if (progress && !progress("Reading", s.file->bytes, size)) {
            s.file->cancelled = true;
            ok = false;
            break;
        }
    }
    std::fclose(stream);
    settleFileKind(*s.file);
    return ok;
}

AuditData AuditReader::finish(const Progress& progress) {
    State& s = *state_;
    AuditData::State& d = s.data;
    const std::size_t n = d.episodes.size();
    if (progress)
        progress("Merging", 0, n);

    // Open addressing on the keys: each slot holds the latest record of its key.
    std::size_t slots = 16;
    while (slots < 2 * n)
        slots *= 2;
    constexpr std::uint32_t kEmpty = UINT32_MAX;
    std::vector<std::uint32_t> table(slots, kEmpty);
    std::vector<bool> replaced(n, false);
    for (std::size_t i = 0; i < n; ++i) {
        if (!s.mergeable[i])
            continue;
        std::size_t slot = s.keys[i].first & (slots - 1);
        for (;;) {
            const std::uint32_t held = table[slot];
            if (held == kEmpty) {
                table[slot] = static_cast<std::uint32_t>(i);
                break;
            }
            if (s.keys[held] == s.keys[i]) {
                replaced[held] = true;
                ++d.merged;
                table[slot] = static_cast<std::uint32_t>(i);
                break;
            }
            slot = (slot + 1) & (slots - 1);
        }
    }
    std::vector<std::uint32_t>().swap(table);
    std::vector<Key>().swap(s.keys);
    std::vector<bool>().swap(s.mergeable);

    std::size_t kept = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (replaced[i])
            continue;
        d.episodes[kept] = d.episodes[i];
        d.dateOffset[kept] = d.dateOffset[i];
        d.dateLength[kept] = d.dateLength[i];
        if (!d.leadingOffset.empty()) {
            d.leadingOffset[kept] = d.leadingOffset[i];
            d.leadingLength[kept] = d.leadingLength[i];
            d.outcomeLength[kept] = d.outcomeLength[i];
        }
        ++kept;
    }
    d.episodes.resize(kept);
    d.dateOffset.resize(kept);
    d.dateLength.resize(kept);
    if (!d.leadingOffset.empty()) {
        d.leadingOffset.resize(kept);
        d.leadingLength.resize(kept);
        d.outcomeLength.resize(kept);
    }
    d.unparseableDates = 0;
    for (const Episode& e : d.episodes)
        d.unparseableDates += e.day == Episode::kNoDay;

    AuditData data;
    *data.state_ = std::move(d);
    s.data = {};
    return data;
}

AuditData::AuditData()
    : state_(std::make_unique<State>()) {}
AuditData::~AuditData() = default;
AuditData::AuditData(AuditData&&) noexcept = default;
AuditData& AuditData::operator=(AuditData&&) noexcept = default;

const std::vector<FileSummary>& AuditData::files() const {
    return state_->files;
}
std::uint64_t AuditData::recordsRead() const {
    return state_->recordsRead;
}
std::uint64_t AuditData::mergedRecords() const {
    return state_->merged;
}
std::uint64_t AuditData::problemCount() const {
    std::uint64_t count = 0;
    for (const FileSummary& file : state_->files)
        count += file.problemCount();
    return count;
}
const std::vector<Episode>& AuditData::episodes() const {
    return state_->episodes;
}
std::string_view AuditData::dateText(std::size_t episode) const {
    return std::string_view(state_->dateTexts)
        .substr(state_->dateOffset[episode], state_->dateLength[episode]);
}
std::vector<std::string_view> AuditData::leadingFields(std::size_t episode) const {
    if (episode >= state_->leadingOffset.size())
        return {};
    return keptFields(std::string_view(state_->leadingTexts)
                          .substr(state_->leadingOffset[episode], state_->leadingLength[episode]));
}
std::array<std::string_view, 2> AuditData::outcomeTexts(std::size_t episode) const {
    if (episode >= state_->outcomeLength.size())
        return {};
    const auto [morbidity, mortality] = state_->outcomeLength[episode];
    const std::string_view texts =
        std::string_view(state_->leadingTexts)
            .substr(state_->leadingOffset[episode] + state_->leadingLength[episode]);
    return {texts.substr(0, morbidity), texts.substr(morbidity, mortality)};
}
std::uint64_t AuditData::unparseableDates() const {
    return state_->unparseableDates;
}

void AuditData::rereadDates(DateOrder order, int currentYear) {
    State& s = *state_;
    s.unparseableDates = 0;
    for (std::size_t i = 0; i < s.episodes.size(); ++i) {
        const auto date = readProcedureDate(dateText(i), order, currentYear);
        s.episodes[i].day = date ? dayNumber(*date) : Episode::kNoDay;
        s.unparseableDates += !date;
    }
}

} // namespace caldrin::audit
