// SPDX-License-Identifier: GPL-3.0-or-later
#include "auditwindow/auditloader.h"

#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QThread>

#include <algorithm>
#include <limits>
#include <new>

namespace caldrin::auditwindow {

using namespace caldrin::audit;

struct AuditLoader::Job {
    std::atomic<bool> cancelled{false};
    std::atomic<std::uint64_t> done{0};
    std::atomic<std::uint64_t> total{0};
    mutable std::mutex stageMutex;
    QString stage;

    void setStage(const QString& text) {
        std::lock_guard lock(stageMutex);
        stage = text;
    }
    // The engine's progress callback: records how far it got and asks it to
    // stop once the job is cancelled.
    Progress progress(const QString& stageText, std::uint64_t base = 0,
                      std::uint64_t overallTotal = 0) {
        setStage(stageText);
        return [this, base, overallTotal](std::string_view, std::uint64_t d, std::uint64_t t) {
            done = base + d;
            total = overallTotal ? overallTotal : t;
            return !cancelled.load();
        };
    }
    // The analysis with its control limits: the engine reports the model it
    // is at ("Analysing", step of models) and, within it, how far each
    // limit's search got. Shown as one bar over all the models that never
    // runs backwards.
    Progress modelsProgress(const QString& stageText, std::size_t models) {
        setStage(stageText);
        constexpr std::uint64_t kPerModel = 1000;
        total = models * kPerModel;
        done = 0;
        return [this, models, step = std::uint64_t{0}](std::string_view stageName, std::uint64_t d,
                                                       std::uint64_t t) mutable {
            std::uint64_t reached = 0;
            if (stageName == "Analysing") {
                step = d;
                reached = step * kPerModel;
            } else if (t > 0) {
                reached =
                    step * kPerModel + std::min<std::uint64_t>(kPerModel - 1, d * kPerModel / t);
            }
            done = std::min<std::uint64_t>(std::max(done.load(), reached), models * kPerModel);
            return !cancelled.load();
        };
    }
};

namespace {

std::optional<std::pair<std::int32_t, std::int32_t>> dayRangeOf(const AuditData& data) {
    std::optional<std::pair<std::int32_t, std::int32_t>> range;
    for (const Episode& episode : data.episodes()) {
        if (episode.day == Episode::kNoDay)
            continue;
        if (!range)
            range.emplace(episode.day, episode.day);
        range->first = std::min(range->first, episode.day);
        range->second = std::max(range->second, episode.day);
    }
    return range;
}

} // namespace

AuditLoader::AuditLoader(QObject* parent)
    : QObject(parent) {}

AuditLoader::~AuditLoader() {
    cancel();
    for (QThread* thread : findChildren<QThread*>(Qt::FindDirectChildrenOnly))
        thread->wait();
}

void AuditLoader::cancel() {
    if (job_)
        job_->cancelled = true;
    job_.reset();
}

AuditLoader::ProgressState AuditLoader::progress() const {
    if (!job_)
        return {};
    std::lock_guard lock(job_->stageMutex);
    return {job_->stage, job_->done.load(), job_->total.load()};
}

void AuditLoader::start(std::shared_ptr<Job> job, std::function<void(Job&)> work) {
    cancel();
    job_ = job;
    // The thread is a child of the loader, so the destructor finds and waits
    // for every thread still winding down after a cancel.
    QThread* thread = QThread::create([this, job, work] {
        try {
            work(*job);
        } catch (const std::bad_alloc&) {
            // Too many records for this computer's memory: say so rather than end the program.
            QMetaObject::invokeMethod(
                this,
                [this, job] {
                    if (job != job_)
                        return;
                    job_.reset();
                    Q_EMIT failed({QStringLiteral("There is not enough memory to read and analyse "
                                                  "these files; nothing was changed.")});
                },
                Qt::QueuedConnection);
        }
    });
    thread->setParent(this);
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    thread->start();
}

void AuditLoader::read(const QStringList& paths, const ReadOptions& readOptions,
                       const AnalysisOptions& analysisOptions, AddedUpdates updates) {
    auto job = std::make_shared<Job>();
    start(job, [this, job, paths, readOptions, analysisOptions, updates](Job& j) {
        std::uint64_t totalBytes = 0;
        for (const QString& path : paths)
            totalBytes += static_cast<std::uint64_t>(std::max<qint64>(0, QFileInfo(path).size()));
        AuditReader reader(readOptions);
        std::uint64_t base = 0;
        for (const QString& path : paths) {
            const Progress progress = j.progress(
                QStringLiteral("Reading %1").arg(QFileInfo(path).fileName()), base, totalBytes);
            reader.addFile(QFile::encodeName(path).toStdString(), progress);
            if (j.cancelled)
                return;
            base += static_cast<std::uint64_t>(std::max<qint64>(0, QFileInfo(path).size()));
        }
        // Only files with audit records go on to the analysis; when none has
        // any, one message says what each file is instead.
        QStringList problems;
        bool anyOpened = false;
        bool anyAuditData = false;
        for (const FileSummary& file : reader.files()) {
            anyOpened = anyOpened || file.opened;
            anyAuditData = anyAuditData || (file.opened && file.kind == FileKind::AuditData);
            if (!file.opened && !file.sameFileAs)
                problems << QString::fromUtf8(file.path) + QStringLiteral(": ") +
                                QString::fromUtf8(file.openError);
            else if (file.kind != FileKind::AuditData)
                problems << QString::fromUtf8(file.path) + QStringLiteral(": ") +
                                QString::fromStdString(fileKindText(file.kind)) + QLatin1Char('.');
        }
        if (!anyAuditData) {
            const QString heading = anyOpened
                                        ? QStringLiteral("None of the files holds audit records:")
                                        : QStringLiteral("None of the files could be read:");
            problems.prepend(heading);
            QMetaObject::invokeMethod(
                this,
                [this, job, problems] {
                    if (job == job_) {
                        job_.reset();
                        Q_EMIT failed(problems);
                    }
                },
                Qt::QueuedConnection);
            return;
        }
        auto data =
            std::make_shared<AuditData>(reader.finish(j.progress(QStringLiteral("Merging"))));
        if (j.cancelled)
            return;
        // Listed here, off the window's thread: with most outcomes still to
        // come the list holds most of the episodes.
        std::shared_ptr<const std::vector<OutstandingEpisode>> outstanding;
        if (analysisOptions.today && readOptions.keepLeadingFields)
            outstanding =
                std::make_shared<const std::vector<OutstandingEpisode>>(outstandingEpisodes(
                    *data, {*analysisOptions.today, analysisOptions.dueDays, {}, {}}));
        runAnalysis(job, std::move(data), analysisOptions, updates, std::move(outstanding));
    });
}

void AuditLoader::analyse(std::shared_ptr<const AuditData> data, const AnalysisOptions& options,
                          AddedUpdates updates) {
    auto job = std::make_shared<Job>();
    start(job,
          [this, job, data, options, updates](Job&) { runAnalysis(job, data, options, updates); });
}

// Runs on the job's thread. Tables do not depend on the CUSUM's control
// limit, whose search takes longer than everything else: without a
// given limit the window first gets the figures with the limit left open,
// then everything. A cancelled job ends quietly: cancel() has already
// let go of it.
void AuditLoader::runAnalysis(const std::shared_ptr<Job>& job,
                              std::shared_ptr<const AuditData> data, const AnalysisOptions& options,
                              const AddedUpdates& updates,
                              std::shared_ptr<const std::vector<OutstandingEpisode>> outstanding) {
    auto deliver = [this, job](std::shared_ptr<AuditLoad> load) {
        QMetaObject::invokeMethod(
            this,
            [this, job, load] {
                if (job != job_)
                    return;
                if (load->complete)
                    job_.reset();
                Q_EMIT loaded(load);
            },
            Qt::QueuedConnection);
    };

    const auto dayRange = dayRangeOf(*data);
    // Each update on the episodes after its fit period, within the range:
    // the same for both deliveries, as no control limit enters them.
    std::vector<UpdateValidation> checks;
    if (updates) {
        job->setStage(QStringLiteral("Checking the updates"));
        for (const AddedUpdate& added : *updates) {
            modelupdate::ReadUpdate read;
            read.update = added.update;
            checks.push_back(validateUpdate(*data, added.path, read, options));
            if (job->cancelled)
                return;
        }
    }
    if (!options.limit) {
        AnalysisOptions quick = options;
        quick.limit = std::numeric_limits<double>::infinity();
        auto first = std::make_shared<AuditLoad>();
        first->result = audit::analyse(*data, quick, job->progress(QStringLiteral("Analysing")));
        if (first->result.cancelled || job->cancelled)
            return;
        for (ModelResult& model : first->result.models)
            model.cusum.limit.reset();
        first->data = data;
        first->options = options;
        first->dayRange = dayRange;
        first->outstanding = outstanding;
        first->addedUpdates = updates;
        first->updates = checks;
        deliver(first);
    }
    auto load = std::make_shared<AuditLoad>();
    load->result = audit::analyse(
        *data, options,
        job->modelsProgress(options.limit ? QStringLiteral("Analysing")
                                          : QStringLiteral("Computing the CUSUM control limits"),
                            options.models.size()));
    if (load->result.cancelled || job->cancelled)
        return;
    load->data = std::move(data);
    load->options = options;
    load->dayRange = dayRange;
    load->outstanding = std::move(outstanding);
    load->addedUpdates = updates;
    load->updates = std::move(checks);
    load->complete = true;
    deliver(load);
}

} // namespace caldrin::auditwindow
