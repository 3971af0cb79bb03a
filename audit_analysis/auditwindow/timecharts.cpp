// SPDX-License-Identifier: GPL-3.0-or-later
#include "auditwindow/timecharts.h"
#include "auditwindow/chartparts.h"
#include "auditwindow/filterbar.h"

#include <QCategoryAxis>
#include <QLineSeries>
#include <QScatterSeries>

#include <algorithm>
#include <functional>
#include <optional>

namespace caldrin::auditwindow {

using namespace caldrin::audit;

namespace {

QString episodesText(std::uint64_t count) {
    return count == 1 ? QStringLiteral("1 episode") : QStringLiteral("%1 episodes").arg(count);
}

// Where the charts over time put an episode: at its number, or at its date
// of operation as a day number. The paths start at 0 at `start`.
struct TimeScale {
    bool byDate = false;
    double start = 0;
    double end = 1;
    QAbstractAxis* axis = nullptr;

    std::optional<double> at(const TimePoint& p) const {
        if (!byDate)
            return static_cast<double>(p.position);
        if (p.day == Episode::kNoDay)
            return std::nullopt;
        return static_cast<double>(p.day);
    }
};

// Ticks on whole days, about five of them: every day, two days, week (on
// Mondays), fortnight, or on the first of every 1, 2, 3 or 6 months, or of
// January every 1, 2, 5, 10... years.
QCategoryAxis* addDateAxis(QChart* chart, const QString& title, double low, double high) {
    struct Step {
        int days = 0;
        int months = 0;
    };
    static const Step steps[] = {{1, 0},   {2, 0},   {7, 0},    {14, 0},  {0, 1},  {0, 2},
                                 {0, 3},   {0, 6},   {0, 12},   {0, 24},  {0, 60}, {0, 120},
                                 {0, 240}, {0, 600}, {0, 1200}, {0, 2400}};
    constexpr int kMostTicks = 6;
    constexpr int kMonday = 4; // 5 January 1970
    const auto first = static_cast<std::int32_t>(std::ceil(low));
    const auto last = static_cast<std::int32_t>(std::floor(high));
    std::vector<std::int32_t> ticks;
    QString labelFormat;
    for (const Step& step : steps) {
        ticks.clear();
        if (step.days > 0) {
            const int offset = ((first - kMonday) % step.days + step.days) % step.days;
            for (std::int32_t day = offset ? first + step.days - offset : first; day <= last;
                 day += step.days)
                ticks.push_back(day);
            labelFormat = QStringLiteral("d MMM yyyy");
        } else {
            const QDate from = qDateOf(first);
            int month = from.year() * 12 + from.month() - 1; // months since year 0
            if (from.day() > 1)
                ++month;
            month += (step.months - month % step.months) % step.months;
            for (;; month += step.months) {
                const std::int32_t day = dayNumber(Date{month / 12, month % 12 + 1, 1});
                if (day > last)
                    break;
                ticks.push_back(day);
            }
            labelFormat = step.months < 12 ? QStringLiteral("MMM yyyy") : QStringLiteral("yyyy");
        }
        if (ticks.size() <= kMostTicks)
            break;
    }
    auto* axis = new QCategoryAxis(chart);
    axis->setTitleText(title);
    axis->setRange(low, high);
    axis->setStartValue(low);
    axis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    for (const std::int32_t day : ticks)
        axis->append(qDateOf(day).toString(labelFormat), day);
    chart->addAxis(axis, Qt::AlignBottom);
    return axis;
}

TimeScale addTimeAxis(QChart* chart, const ModelResult& model, TimeAxis wanted) {
    TimeScale scale;
    std::optional<std::int32_t> firstDay, lastDay;
    for (const TimePoint& p : model.series)
        if (p.day != Episode::kNoDay) {
            firstDay = firstDay ? std::min(*firstDay, p.day) : p.day;
            lastDay = lastDay ? std::max(*lastDay, p.day) : p.day;
        }
    const std::uint64_t undated = model.undated;
    if (wanted == TimeAxis::Date && firstDay) {
        scale.byDate = true;
        scale.start = *firstDay;
        scale.end = *lastDay;
        const double pad = *firstDay == *lastDay ? 1 : 0;
        QString title = QStringLiteral("Date of operation");
        if (undated > 0)
            title += QStringLiteral(" (%1 without a readable date not drawn)")
                         .arg(episodesText(undated));
        scale.axis = addDateAxis(chart, title, scale.start - pad, scale.end + pad);
        return scale;
    }
    scale.end = model.series.empty() ? 1.0 : static_cast<double>(model.series.back().position);
    QString title = QStringLiteral("Episodes in date order");
    if (undated > 0 && undated == model.overall.n)
        title = QStringLiteral("Episodes in file order: none has a readable date");
    else if (undated > 0)
        title += QStringLiteral(" (the last %1 without a readable date)").arg(undated);
    scale.axis = addAxis(chart, Qt::AlignBottom, title, 0, scale.end, true);
    return scale;
}

// The path of `value` from 0 at the scale's start.
QLineSeries* addPath(QChart* chart, const TimeScale& time, QValueAxis* y, const ModelResult& model,
                     const QString& objectName, const QString& name,
                     const std::function<double(const TimePoint&)>& value) {
    auto* line = addSeries<QLineSeries>(chart, objectName, name, time.axis, y);
    QList<QPointF> points;
    points.reserve(static_cast<qsizetype>(model.series.size()) + 1);
    points.append({time.start, 0});
    for (const TimePoint& p : model.series)
        if (const std::optional<double> x = time.at(p))
            points.append({*x, value(p)});
    line->replace(points);
    return line;
}

// One side of the CUSUM chart: the path, the limit (or why there is none)
// and the signals; the improvement side is drawn below zero.
void addCusumSide(QChart* chart, const TimeScale& time, QValueAxis* y, const ModelResult& model,
                  bool improvement) {
    const Cusum& cusum = improvement ? model.improvement : model.cusum;
    const QString events = eventsWord(model.outcome);
    const double sign = improvement ? -1 : 1;
    const QString prefix = improvement ? QStringLiteral("improvement") : QString();
    auto named = [&](const char* what) {
        const QString name = QString::fromLatin1(what);
        return improvement ? prefix + name.left(1).toUpper() + name.mid(1) : name;
    };
    const QString direction = improvement ? QStringLiteral("Fewer") : QStringLiteral("More");
    addPath(chart, time, y, model,
            improvement ? QStringLiteral("improvement") : QStringLiteral("cusum"),
            QStringLiteral("%1 %2 than predicted").arg(direction, events),
            [&](const TimePoint& p) { return sign * (improvement ? p.improvement : p.cusum); });
    if (cusum.limit) {
        auto* limit = addSeries<QLineSeries>(
            chart, named("limit"),
            QStringLiteral("Control limit %1").arg(NumberFormat().number(sign * *cusum.limit, 2)),
            time.axis, y);
        limit->append({{time.start, sign * *cusum.limit}, {time.end, sign * *cusum.limit}});
        QPen dashed = limit->pen();
        dashed.setStyle(Qt::DashLine);
        limit->setPen(dashed);
    } else {
        // An entry in the legend, so that the chart itself says why.
        addSeries<QLineSeries>(
            chart, named("limitMissing"),
            cusum.limitMissing.empty()
                ? QStringLiteral("Control limit for %1 %2: not yet computed")
                      .arg(direction.toLower(), events)
                : QStringLiteral("No control limit for %1 %2: %3")
                      .arg(direction.toLower(), events, QString::fromStdString(cusum.limitMissing)),
            time.axis, y);
    }
    auto* alarms = addSeries<QScatterSeries>(
        chart, named("signals"), QStringLiteral("Signals: %1 %2").arg(direction.toLower(), events),
        time.axis, y);
    alarms->setMarkerShape(improvement ? QScatterSeries::MarkerShapeTriangle
                                       : QScatterSeries::MarkerShapeRectangle);
    for (const TimePoint& p : model.series) {
        const std::optional<double> x = time.at(p);
        if (x && (improvement ? p.improvementSignal : p.signal))
            alarms->append(*x, sign * (improvement ? p.improvement : p.cusum));
    }
}

QString limitText(const Cusum& cusum, const NumberFormat& format) {
    if (cusum.limit) {
        QString text = format.number(*cusum.limit, 2);
        if (cusum.limitComputed)
            text += QStringLiteral(" (simulated for an in-control average run length of %1 "
                                   "episodes)")
                        .arg(cusum.targetArl);
        return text;
    }
    return cusum.limitMissing.empty()
               ? QStringLiteral("not yet computed")
               : QStringLiteral("none (%1)").arg(QString::fromStdString(cusum.limitMissing));
}

QString undatedText(const ModelResult& model) {
    return QStringLiteral("%1 without a readable date: last in time order, left off charts by "
                          "date")
        .arg(episodesText(model.undated));
}

} // namespace

void buildVlad(QChart* chart, const ModelResult& model, TimeAxis timeAxis) {
    double low = 0, high = 0;
    for (const TimePoint& p : model.series) {
        low = std::min(low, p.vlad);
        high = std::max(high, p.vlad);
    }
    const double margin = std::max(1.0, (high - low) * 0.05);
    const TimeScale time = addTimeAxis(chart, model, timeAxis);
    QValueAxis* y = addAxis(chart, Qt::AlignLeft, QStringLiteral("Expected minus observed"),
                            low - margin, high + margin);
    addPath(chart, time, y, model, QStringLiteral("vlad"), QStringLiteral("VLAD"),
            [](const TimePoint& p) { return p.vlad; });
}

void buildCusum(QChart* chart, const ModelResult& model, TimeAxis timeAxis) {
    double high = 0, deep = 0;
    for (const TimePoint& p : model.series) {
        high = std::max(high, p.cusum);
        deep = std::max(deep, p.improvement);
    }
    const double top = std::max(high, model.cusum.limit.value_or(0)) * 1.1 + 0.1;
    const double bottom = -(std::max(deep, model.improvement.limit.value_or(0)) * 1.1 + 0.1);
    const TimeScale time = addTimeAxis(chart, model, timeAxis);
    QValueAxis* y =
        addAxis(chart, Qt::AlignLeft, QStringLiteral("CUSUM (fewer below 0)"), bottom, top);
    addCusumSide(chart, time, y, model, false);
    addCusumSide(chart, time, y, model, true);
    // Two paths, their limits and their signals: six entries read whole
    // beside the plot, one under the other.
    chart->legend()->setAlignment(Qt::AlignRight);
}

QStringList vladFigures(const ModelResult& model, const NumberFormat& format) {
    double low = 0, high = 0;
    for (const TimePoint& p : model.series) {
        low = std::min(low, p.vlad);
        high = std::max(high, p.vlad);
    }
    QStringList lines{
        QStringLiteral("Final value %1 after %2 episodes (expected minus observed %3)")
            .arg(format.number(model.vlad, 2))
            .arg(model.overall.n)
            .arg(eventsWord(model.outcome)),
        QStringLiteral("Lowest %1, highest %2").arg(format.number(low, 2), format.number(high, 2))};
    if (model.undated > 0)
        lines << undatedText(model);
    return lines;
}

QStringList cusumFigures(const ModelResult& model, const NumberFormat& format) {
    QStringList lines;
    const QString events = eventsWord(model.outcome);
    for (const bool improvement : {false, true}) {
        const Cusum& cusum = improvement ? model.improvement : model.cusum;
        lines << QStringLiteral("%1 %2 than predicted%3: odds ratio %4; control limit %5")
                     .arg(improvement ? QStringLiteral("Fewer") : QStringLiteral("More"), events,
                          improvement ? QStringLiteral(" (drawn below 0)") : QString(),
                          format.number(cusum.oddsRatio, 2), limitText(cusum, format));
        if (cusum.signals.empty())
            lines << QStringLiteral("No signals");
        for (const CusumSignal& alarm : cusum.signals)
            lines << QStringLiteral("Signal at episode %1, dated %2")
                         .arg(alarm.position)
                         .arg(alarm.date.empty() ? QStringLiteral("(no date)")
                                                 : QString::fromUtf8(alarm.date));
        lines << QStringLiteral("Value after the last episode %1")
                     .arg(format.number(cusum.finalValue, 2));
    }
    if (model.undated > 0)
        lines << undatedText(model);
    return lines;
}

QString cusumReportText(const ModelResult& model, const NumberFormat& format, TimeAxis timeAxis) {
    // A file can hold hundreds of signals; the page has room for a few lines.
    constexpr std::size_t kListed = 6;
    QString text = timeAxis == TimeAxis::Date
                       ? QStringLiteral("The VLAD and CUSUM charts run by date of operation")
                       : QStringLiteral("The VLAD and CUSUM charts run by episode number");
    if (model.undated > 0)
        text += timeAxis == TimeAxis::Date
                    ? QStringLiteral("; %1 without a readable date are not drawn")
                          .arg(episodesText(model.undated))
                    : QStringLiteral("; %1 without a readable date come last")
                          .arg(episodesText(model.undated));
    text += QStringLiteral(".");
    const QString events = eventsWord(model.outcome);
    for (const bool improvement : {false, true}) {
        const Cusum& cusum = improvement ? model.improvement : model.cusum;
        text += QStringLiteral(" Risk-adjusted CUSUM for %1 %2 than predicted%3 (odds ratio %4), "
                               "control limit %5. ")
                    .arg(improvement ? QStringLiteral("fewer") : QStringLiteral("more"), events,
                         improvement ? QStringLiteral(", drawn below 0") : QString(),
                         format.number(cusum.oddsRatio, 2), limitText(cusum, format));
        if (cusum.signals.empty()) {
            text += QStringLiteral("No signals.");
            continue;
        }
        text += cusum.signals.size() == 1
                    ? QStringLiteral("1 signal, at episode (date): ")
                    : QStringLiteral("%1 signals, at episodes (date): ").arg(cusum.signals.size());
        QStringList listed;
        for (std::size_t i = 0; i < cusum.signals.size() && i < kListed; ++i)
            listed << QStringLiteral("%1 (%2)")
                          .arg(cusum.signals[i].position)
                          .arg(QString::fromUtf8(cusum.signals[i].date));
        text += listed.join(QStringLiteral(", "));
        text += cusum.signals.size() > kListed
                    ? QStringLiteral(" and %1 more; the window lists all.")
                          .arg(cusum.signals.size() - kListed)
                    : QStringLiteral(".");
    }
    return text;
}

} // namespace caldrin::auditwindow
