// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audit/auditanalysis.h"
#include "audit/followup.h"
#include "audit/updatevalidation.h"
#include "modelupdate/modelupdate.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

class QThread;

namespace caldrin::auditwindow {

// A model update added to the window, as read from its file once (the file
// may change or go; what was read and accepted is what is checked).
struct AddedUpdate {
    std::string path; // as the engine names files: local 8-bit
    modelupdate::ModelUpdate update;
};
// The window's list, shared with every job it starts: a new list is a new
// pointer, so a finished analysis tells which list it checked.
using AddedUpdates = std::shared_ptr<const std::vector<AddedUpdate>>;

// What a finished job hands to the window. The data are shared read-only
// between the window and later analyses of other date ranges.
struct AuditLoad {
    std::shared_ptr<const audit::AuditData> data;
    audit::AnalysisOptions options;
    audit::AnalysisResult result;
    // First and last readable dates of procedure (day numbers) of all the
    // episodes read; none when no date could be read.
    std::optional<std::pair<std::int32_t, std::int32_t>> dayRange;
    // The episodes whose outcome is not known, listed on the job's thread
    // when the files were read (null after a new date range: the list is
    // the same).
    std::shared_ptr<const std::vector<audit::OutstandingEpisode>> outstanding;
    // The updates added when the job started, each checked on the
    // episodes after its fit period within the date range (same order).
    AddedUpdates addedUpdates;
    std::vector<audit::UpdateValidation> updates;
    // False while the CUSUM control limits are still being computed: a second
    // delivery with them follows.
    bool complete = false;
};

// Reads audit files and analyses them on a thread of its own, one job at a
// time: starting a job cancels the one before. The window polls progress()
// from a timer, so a busy reader never floods its event loop.
class AuditLoader : public QObject {
    Q_OBJECT
public:
    explicit AuditLoader(QObject* parent = nullptr);
    ~AuditLoader() override; // cancels and waits for the thread

    // Both also check `updates` (null: none) on the data.
    void read(const QStringList& paths, const audit::ReadOptions& readOptions,
              const audit::AnalysisOptions& analysisOptions, AddedUpdates updates = {});
    void analyse(std::shared_ptr<const audit::AuditData> data,
                 const audit::AnalysisOptions& options, AddedUpdates updates = {});
    void cancel();
    bool busy() const { return job_ != nullptr; }

    struct ProgressState {
        QString stage; // "Reading name.csv", "Analysing", ...
        std::uint64_t done = 0;
        std::uint64_t total = 0;
    };
    ProgressState progress() const;

Q_SIGNALS:
    // Tables first (complete == false) when control limits must be computed,
    // then everything.
    void loaded(std::shared_ptr<const caldrin::auditwindow::AuditLoad> load);
    // No file holds audit records: a heading line, then "path: reason" for
    // each file. (A cancelled job reports nothing: the window already knows.)
    void failed(const QStringList& problems);

private:
    struct Job;
    void start(std::shared_ptr<Job> job, std::function<void(Job&)> work);
    void
    runAnalysis(const std::shared_ptr<Job>& job, std::shared_ptr<const audit::AuditData> data,
                const audit::AnalysisOptions& options, const AddedUpdates& updates,
                std::shared_ptr<const std::vector<audit::OutstandingEpisode>> outstanding = {});

    std::shared_ptr<Job> job_;
    QThread* thread_ = nullptr;
};

} // namespace caldrin::auditwindow
