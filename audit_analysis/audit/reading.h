// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Reading audit data files back: the reader, the files' summaries and
// problems, and the episodes the records make once merged.

#include "audit/dates.h"
#include "audit/filekind.h"
#include "audit/models.h"
#include "audit/progress.h"

#include <array>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace caldrin::audit {

struct ReadOptions {
    DateOrder dateOrder = DateOrder::DayMonthYear;
    // The year two-digit years are read against; the caller takes it from the
    // clock (tests fix it).
    int currentYear = 2000;
    // Keep the fields before MORBIDITY of every record whose outcome is not
    // known, as read, for following episodes up (see
    // followup.h). Off, the reader keeps nothing of the identity.
    bool keepLeadingFields = false;
};

// A line that could not be read as it stands. `skipped` is false when the
// record was still used (its figures read from the right, its identity not
// trusted).
struct ReadingProblem {
    std::uint64_t line = 0; // 1-based physical line where the record starts
    std::string reason;     // UTF-8, for people; quotes file text made safe to print
    bool skipped = true;
};

// Problems kept with their lines per file; any more are only counted, so that
// a file of nothing but bad lines cannot fill the memory or the report.
inline constexpr std::size_t kProblemsKept = 1000;

struct FileSummary {
    std::string path;
    bool opened = false;
    std::string openError; // UTF-8, when !opened
    // Set when this path names a file given before (the same device and
    // inode): the file is read once, and this repeat is not read.
    std::optional<std::size_t> sameFileAs; // index into the files
    bool cancelled = false;
    std::uint64_t bytes = 0; // bytes read
    // Physical lines: the line ends, and a last line without one when it
    // holds anything.
    std::uint64_t lines = 0;
    std::uint64_t records = 0;     // records taken from this file
    std::uint64_t headerLines = 0; // column-name lines skipped (first line or mid-file)
    std::uint64_t blankLines = 0;
    std::uint64_t fullLines = 0;          // lines of 31 fields or more, read or not
    std::vector<ReadingProblem> problems; // the first kProblemsKept
    std::uint64_t problemsNotKept = 0;    // counted beyond those
    // Set once the file is read (see filekind.h).
    FileKind kind = FileKind::AuditData;

    std::uint64_t problemCount() const { return problems.size() + problemsNotKept; }
};

class AuditData;

// Reads files one after another (in the order given: the last record wins on
// merging, across files too). Streams each file in blocks: memory grows with
// the records kept, not with the file.
class AuditReader {
public:
    explicit AuditReader(ReadOptions options = {});
    ~AuditReader();
    AuditReader(const AuditReader&) = delete;
    AuditReader& operator=(const AuditReader&) = delete;

    // False when the file cannot be opened or read (see the summary's
    // openError) or the read was cancelled; records read before a cancel are
    // kept. Reading problems inside the file never fail the call. Only regular
    // files and pipes are read; a file that is not text (NUL bytes or control
    // codes at the start) is refused after its first block. A file given
    // again under another name is not read twice.
    bool addFile(const std::string& path, const Progress& progress = {});

    // The total size of the files about to be read, a hint only: storage
    // for all their records is reserved once the first of them proves to be
    // text (too much for memory is not reserved). Many files then cost what
    // one file of their total size costs, where room grown file by file is
    // copied and briefly held twice.
    void expectBytes(std::uint64_t bytes);

    // Reads from memory as if it were a file called `name` (tests, pipes).
    // `writerHoldsIt` says whether a writer held the file's lock as it was
    // read: only then can a last line without a line end be a record in the
    // middle of being written.
    void addText(std::string_view name, std::string_view text, bool writerHoldsIt = false);

    const std::vector<FileSummary>& files() const;

    // Merges repeated records into episodes and hands everything over; the
    // reader is empty afterwards.
    AuditData finish(const Progress& progress = {});

private:
    struct State;
    std::unique_ptr<State> state_;
};

// One episode as the analysis sees it (after merging). Risks are kept as
// written: four decimals, held as whole ten-thousandths.
struct Episode {
    static constexpr std::int32_t kNoDay = INT32_MIN;

    std::int32_t day = kNoDay; // dayNumber() of DATE, kNoDay when unreadable
    std::uint32_t file = 0;    // index into files()
    std::uint32_t line = 0;    // line of the winning record
    std::array<std::uint16_t, kStoredModelCount> riskTenThousandths{}; // stored, in Model order
    std::uint8_t physiologicalScore = 0;
    std::uint8_t operativeScore = 0;
    std::int8_t morbidity = -1; // 0, 1, or -1 when not exactly "0"/"1"
    std::int8_t mortality = -1;
    bool identityUnreliable = false; // a shifted line: never merged

    // A stored model's risk as written; a computed model's risk from the two
    // scores, not rounded.
    double risk(Model model) const;
    // The outcome a model is measured against: 0, 1 or -1.
    int outcome(Model model) const {
        return model == Model::PossumMorbidity ? morbidity : mortality;
    }
};

// Everything read, merged into episodes in file order. Immutable apart from
// re-reading the dates in another order.
class AuditData {
public:
    AuditData();
    ~AuditData();
    AuditData(AuditData&&) noexcept;
    AuditData& operator=(AuditData&&) noexcept;

    const std::vector<FileSummary>& files() const;
    std::uint64_t recordsRead() const;
    std::uint64_t mergedRecords() const; // records replaced by a later one
    std::uint64_t problemCount() const;  // over all files

    const std::vector<Episode>& episodes() const;
    // The DATE text of an episode as written (Windows-1252 bytes).
    std::string_view dateText(std::size_t episode) const;
    std::uint64_t unparseableDates() const;
    // The winning record's fields before MORBIDITY as the reader split them
    // (quotes undone, Windows-1252 bytes): 29, or more for a line read from
    // the right; none unless the reader kept them
    // (ReadOptions::keepLeadingFields) for an episode whose outcome is not
    // known.
    std::vector<std::string_view> leadingFields(std::size_t episode) const;
    // The MORBIDITY and MORTALITY texts of that record as written (at most
    // 255 bytes each, Windows-1252), kept with its leading fields: what a
    // new outcome would replace.
    std::array<std::string_view, 2> outcomeTexts(std::size_t episode) const;

    // Reads every DATE text again in another order (the episodes stay).
    void rereadDates(DateOrder order, int currentYear);

private:
    friend class AuditReader;
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace caldrin::audit
