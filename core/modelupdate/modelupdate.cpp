// SPDX-License-Identifier: GPL-3.0-or-later
#include "modelupdate/modelupdate.h"
#include "modelupdate/sha256.h"

#include <Eigen/Dense>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace caldrin::modelupdate {

namespace {

using Json = nlohmann::json;

// The 97.5th percentile of the standard normal.
constexpr double kZ975 = 1.959963984540054;
constexpr std::size_t kLongestText = 200;

double expit(double eta) {
    return eta >= 0 ? 1 / (1 + std::exp(-eta)) : std::exp(eta) / (1 + std::exp(eta));
}

// Built by appending: GCC 12 at -O3 takes "literal" + string for an
// overlapping copy.
std::string inQuotes(std::string_view name) {
    std::string quoted(1, '"');
    quoted.append(name);
    quoted.push_back('"');
    return quoted;
}

std::string dateText(const CalendarDate& date) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", date.year % 10000, date.month % 100,
                  date.day % 100);
    return text;
}

std::optional<CalendarDate> dateFromText(std::string_view text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-')
        return std::nullopt;
    for (const std::size_t i : {0, 1, 2, 3, 5, 6, 8, 9})
        if (text[i] < '0' || text[i] > '9')
            return std::nullopt;
    auto number = [&](std::size_t at, std::size_t length) {
        int value = 0;
        for (std::size_t i = at; i < at + length; ++i)
            value = value * 10 + (text[i] - '0');
        return value;
    };
    const CalendarDate date{number(0, 4), number(5, 2), number(8, 2)};
    if (!isRealDate(date))
        return std::nullopt;
    return date;
}

bool isTimestamp(std::string_view text) {
    // 2026-12-11T08:57:00Z
    if (text.size() != 20 || !dateFromText(text.substr(0, 10)) || text[10] != 'T' ||
        text[13] != ':' || text[16] != ':' || text[19] != 'Z')
        return false;
    for (const std::size_t i : {11, 12, 14, 15, 17, 18})
        if (text[i] < '0' || text[i] > '9')
            return false;
    const int hour = (text[11] - '0') * 10 + (text[12] - '0');
    const int minute = (text[14] - '0') * 10 + (text[15] - '0');
    const int second = (text[17] - '0') * 10 + (text[18] - '0');
    return hour < 24 && minute < 60 && second < 61;
}

bool earlier(const CalendarDate& a, const CalendarDate& b) {
    return std::tie(a.year, a.month, a.day) < std::tie(b.year, b.month, b.day);
}

// Valid UTF-8 is the parser's business; a text also has to fit on one line
// of the calculator.
bool isPlainText(std::string_view text) {
    if (text.size() > kLongestText * 4)
        return false;
    return std::none_of(text.begin(), text.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u < 0x20 || u == 0x7f;
    });
}

// Why `object` does not hold exactly `wanted` (sorted) plus `more` fields.
std::string fieldProblem(const Json& object, std::initializer_list<std::string_view> wanted,
                         std::string_view where) {
    for (const std::string_view name : wanted)
        if (!object.contains(name))
            return "the field " + inQuotes(name) + " is missing" + std::string(where);
    for (const auto& [name, value] : object.items()) {
        if (std::none_of(wanted.begin(), wanted.end(),
                         [&](std::string_view w) { return w == name; }))
            return "the field " + inQuotes(name) + " is not part of version " +
                   std::to_string(kSchemaVersion) + std::string(where);
    }
    return {};
}

std::string notA(std::string_view field, std::string_view what) {
    return "the field " + inQuotes(field) + " is not " + std::string(what);
}

// A finite number: JSON has no NaN, but an overflowing literal (1e999) reads as infinity.
std::optional<double> finiteNumber(const Json& value) {
    if (!value.is_number())
        return std::nullopt;
    const double number = value.get<double>();
    if (!std::isfinite(number))
        return std::nullopt;
    return number;
}

// Everything that must hold of an update beyond the document's shape.
std::string valueProblem(const ModelUpdate& u) {
    const riskmodels::RiskModel& model = riskmodels::model(u.model);
    const std::size_t k = coefficientNames(u.method, model).size();
    if (u.coefficients.size() != k)
        return "the method " + std::string(methodKey(u.method)) + " has " + std::to_string(k) +
               " coefficients, the file " + std::to_string(u.coefficients.size());
    if (u.covariance.size() != k ||
        std::any_of(u.covariance.begin(), u.covariance.end(),
                    [&](const std::vector<double>& row) { return row.size() != k; }))
        return "the covariance is not a " + std::to_string(k) + " x " + std::to_string(k) +
               " matrix";
    for (const double c : u.coefficients)
        if (!std::isfinite(c))
            return "a coefficient is not a finite number";
    Eigen::MatrixXd sigma(static_cast<Eigen::Index>(k), static_cast<Eigen::Index>(k));
    for (std::size_t r = 0; r < k; ++r)
        for (std::size_t c = 0; c < k; ++c) {
            if (!std::isfinite(u.covariance[r][c]))
                return "the covariance holds a number that is not finite";
            sigma(static_cast<Eigen::Index>(r), static_cast<Eigen::Index>(c)) = u.covariance[r][c];
        }
    if (k > 0) {
        const double scale = sigma.cwiseAbs().maxCoeff();
        if (!(sigma - sigma.transpose()).isZero(1e-9 * std::max(scale, 1e-300)))
            return "the covariance is not symmetric";
        const Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> eigen(sigma);
        if (eigen.info() != Eigen::Success || !(eigen.eigenvalues().minCoeff() > 0))
            return "the covariance is not positive definite, so it cannot give an interval";
    }
    if (u.events > u.episodes)
        return "it counts more events than episodes";
    if (!isRealDate(u.from) || !isRealDate(u.to) || earlier(u.to, u.from))
        return "its period does not run forward between two real dates";
    if (!isPlainText(u.unit))
        return "the unit's name is longer than a line or holds control characters";
    if (!isTimestamp(u.created))
        return "the time it was made is not a UTC time such as 2026-12-11T08:57:00Z";
    if (u.programVersion.empty() || !isPlainText(u.programVersion))
        return "the program's version is empty or not one line";
    if (u.inputFiles.empty())
        return "it names no input file";
    for (const InputFile& file : u.inputFiles)
        if (!isPlainText(file.name) || file.name.empty())
            return "an input file's name is empty or not one line";
    for (const LikelihoodRatioTest& test : u.closedTest) {
        if (!(test.statistic >= 0) || !std::isfinite(test.statistic) || !(test.p >= 0) ||
            !(test.p <= 1) || test.degreesOfFreedom < 1 ||
            static_cast<int>(test.kept) >= static_cast<int>(test.against))
            return "a test of the closed testing procedure does not compare a method with a "
                   "more extensive one by a finite statistic and a p value from 0 to 1";
    }
    return {};
}

Json toJson(const ModelUpdate& u, bool withChecksum) {
    const riskmodels::RiskModel& model = riskmodels::model(u.model);
    Json document = Json::object();
    document["format"] = kFormatName;
    document["schema_version"] = kSchemaVersion;
    document["model"] = model.key;
    document["method"] = methodKey(u.method);
    Json terms = Json::array();
    for (const std::string_view name : coefficientNames(u.method, model))
        terms.push_back(name);
    document["terms"] = terms;
    document["coefficients"] = u.coefficients;
    document["covariance"] = Json::array();
    for (const std::vector<double>& row : u.covariance)
        document["covariance"].push_back(row);
    document["episodes"] = u.episodes;
    document["events"] = u.events;
    document["from"] = dateText(u.from);
    document["to"] = dateText(u.to);
    document["unit"] = u.unit;
    document["created"] = u.created;
    document["program_version"] = u.programVersion;
    document["input_files"] = Json::array();
    for (const InputFile& file : u.inputFiles)
        document["input_files"].push_back(
            {{"name", file.name}, {"bytes", file.bytes}, {"records", file.records}});
    document["closed_test"] = Json::array();
    for (const LikelihoodRatioTest& test : u.closedTest)
        document["closed_test"].push_back({{"kept", methodKey(test.kept)},
                                           {"against", methodKey(test.against)},
                                           {"statistic", test.statistic},
                                           {"degrees_of_freedom", test.degreesOfFreedom},
                                           {"p", test.p}});
    if (withChecksum)
        document["checksum"] = "sha256:" + sha256Hex(document.dump());
    return document;
}

std::string checksumOf(Json document) {
    document.erase("checksum");
    return "sha256:" + sha256Hex(document.dump());
}

// Reads the document's fields into an update, or says why it cannot.
std::string fromJson(const Json& d, ModelUpdate& u) {
    if (!d.is_object())
        return "it is not a JSON object";
    if (!d.contains("format") || d["format"] != kFormatName)
        return "it is not a model update (its \"format\" is not " + inQuotes(kFormatName) + ")";
    if (!d.contains("schema_version"))
        return "the field \"schema_version\" is missing";
    if (!d["schema_version"].is_number_integer())
        return notA("schema_version", "a whole number");
    if (d["schema_version"].get<std::int64_t>() != kSchemaVersion)
        return "its schema version " + d["schema_version"].dump() +
               " is unknown (this program reads version " + std::to_string(kSchemaVersion) + ")";
    if (std::string problem =
            fieldProblem(d,
                         {"checksum", "closed_test", "coefficients", "covariance", "created",
                          "episodes", "events", "format", "from", "input_files", "method", "model",
                          "program_version", "schema_version", "terms", "to", "unit"},
                         "");
        !problem.empty())
        return problem;

    for (const char* name :
         {"checksum", "created", "from", "method", "model", "program_version", "to", "unit"})
        if (!d[name].is_string())
            return notA(name, "text");
    const riskmodels::RiskModel* model = modelFromKey(d["model"].get<std::string>());
    if (!model)
        return "the model " + inQuotes(d["model"].get<std::string>()) +
               " is not one this program knows";
    u.model = model->id;
    const std::optional<Method> method = methodFromKey(d["method"].get<std::string>());
    if (!method)
        return "the method " + inQuotes(d["method"].get<std::string>()) + " is unknown";
    u.method = *method;

    const std::vector<std::string_view> names = coefficientNames(u.method, *model);
    if (!d["terms"].is_array() || d["terms"].size() != names.size())
        return notA("terms", "the list of the method's coefficient names");
    for (std::size_t i = 0; i < names.size(); ++i)
        if (!d["terms"][i].is_string() || d["terms"][i].get<std::string>() != names[i])
            return notA("terms", "the list of the method's coefficient names");

    if (!d["coefficients"].is_array())
        return notA("coefficients", "a list of numbers");
    for (const Json& c : d["coefficients"]) {
        if (!c.is_number())
            return notA("coefficients", "a list of numbers");
        const auto value = finiteNumber(c);
        if (!value)
            return "a coefficient is not a finite number";
        u.coefficients.push_back(*value);
    }
    if (!d["covariance"].is_array())
        return notA("covariance", "a list of rows of numbers");
    for (const Json& row : d["covariance"]) {
        if (!row.is_array())
            return notA("covariance", "a list of rows of numbers");
        std::vector<double> values;
        for (const Json& c : row) {
            if (!c.is_number())
                return notA("covariance", "a list of rows of numbers");
            const auto value = finiteNumber(c);
            if (!value)
                return "the covariance holds a number that is not finite";
            values.push_back(*value);
        }
        u.covariance.push_back(std::move(values));
    }
    for (const char* name : {"episodes", "events"})
        if (!d[name].is_number_unsigned())
            return notA(name, "a whole number of 0 or more");
    u.episodes = d["episodes"].get<std::uint64_t>();
    u.events = d["events"].get<std::uint64_t>();
    const auto from = dateFromText(d["from"].get<std::string>());
    const auto to = dateFromText(d["to"].get<std::string>());
    if (!from || !to)
        return "the period's dates are not real dates written as YYYY-MM-DD";
    u.from = *from;
    u.to = *to;
    u.unit = d["unit"].get<std::string>();
    u.created = d["created"].get<std::string>();
    u.programVersion = d["program_version"].get<std::string>();

    if (!d["input_files"].is_array())
        return notA("input_files", "a list");
    for (const Json& file : d["input_files"]) {
        if (!file.is_object())
            return notA("input_files", "a list of files");
        if (std::string problem =
                fieldProblem(file, {"bytes", "name", "records"}, " in an input file");
            !problem.empty())
            return problem;
        if (!file["name"].is_string() || !file["bytes"].is_number_unsigned() ||
            !file["records"].is_number_unsigned())
            return "an input file is not a name with whole numbers of bytes and records";
        u.inputFiles.push_back({file["name"].get<std::string>(), file["bytes"].get<std::uint64_t>(),
                                file["records"].get<std::uint64_t>()});
    }
    if (!d["closed_test"].is_array())
        return notA("closed_test", "a list");
    for (const Json& test : d["closed_test"]) {
        if (!test.is_object())
            return notA("closed_test", "a list of tests");
        if (std::string problem =
                fieldProblem(test, {"against", "degrees_of_freedom", "kept", "p", "statistic"},
                             " in a test of the closed testing procedure");
            !problem.empty())
            return problem;
        const auto kept = test["kept"].is_string() ? methodFromKey(test["kept"].get<std::string>())
                                                   : std::nullopt;
        const auto against = test["against"].is_string()
                                 ? methodFromKey(test["against"].get<std::string>())
                                 : std::nullopt;
        if (!kept || !against || !test["degrees_of_freedom"].is_number_integer() ||
            !test["statistic"].is_number() || !test["p"].is_number())
            return "a test of the closed testing procedure is not two methods, a statistic, its "
                   "degrees of freedom and a p value";
        const auto statistic = finiteNumber(test["statistic"]);
        const auto p = finiteNumber(test["p"]);
        if (!statistic || !p)
            return "a test of the closed testing procedure holds a number that is not finite";
        u.closedTest.push_back({*kept, *against, *statistic,
                                static_cast<int>(std::clamp<std::int64_t>(
                                    test["degrees_of_freedom"].get<std::int64_t>(), -1, 1000)),
                                *p});
    }
    if (std::string problem = valueProblem(u); !problem.empty())
        return problem;
    const std::string checksum = d["checksum"].get<std::string>();
    if (checksum != checksumOf(d))
        return "its checksum does not match its content: the file was changed after it was "
               "written";
    return {};
}

} // namespace

std::string_view methodKey(Method method) {
    switch (method) {
    case Method::Original:
        return "original";
    case Method::RecalibrationInTheLarge:
        return "recalibration_in_the_large";
    case Method::LogisticRecalibration:
        return "logistic_recalibration";
    case Method::Revision:
        return "revision";
    }
    return {};
}

std::string_view methodTitle(Method method) {
    switch (method) {
    case Method::Original:
        return "the original model";
    case Method::RecalibrationInTheLarge:
        return "recalibration-in-the-large";
    case Method::LogisticRecalibration:
        return "logistic recalibration";
    case Method::Revision:
        return "model revision";
    }
    return {};
}

namespace {

std::string dayText(const CalendarDate& date) {
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const int month = std::clamp(date.month, 1, 12);
    return std::to_string(date.day) + " " + kMonths[month - 1] + " " + std::to_string(date.year);
}

} // namespace

std::string updateTitle(const ModelUpdate& update) {
    const riskmodels::RiskModel& model = riskmodels::model(update.model);
    const char* counted =
        model.predicts == riskmodels::Predicts::Mortality ? " deaths)" : " complications)";
    return std::string(model.title) + ", updated on " +
           (update.unit.empty() ? std::string("an unnamed unit") : update.unit) + ", " +
           dayText(update.from) + "\u2013" + dayText(update.to) + " (" +
           std::to_string(update.episodes) + " episodes, " + std::to_string(update.events) +
           counted;
}

std::optional<Method> methodFromKey(std::string_view key) {
    for (const Method method : kMethods)
        if (methodKey(method) == key)
            return method;
    return std::nullopt;
}

std::vector<std::string_view> coefficientNames(Method method, const riskmodels::RiskModel& model) {
    switch (method) {
    case Method::Original:
        return {};
    case Method::RecalibrationInTheLarge:
        return {"intercept"};
    case Method::LogisticRecalibration:
        return {"intercept", "slope"};
    case Method::Revision:
        if (model.usesOperativeScore)
            return {"intercept", "physiological_score", "operative_score"};
        return {"intercept", "physiological_score"};
    }
    return {};
}

double clampedLogit(double p) {
    constexpr double kClamp = 1e-6;
    p = std::clamp(p, kClamp, 1 - kClamp);
    return std::log(p / (1 - p));
}

const riskmodels::RiskModel* modelFromKey(std::string_view key) {
    for (const riskmodels::RiskModel& model : riskmodels::allModels())
        if (model.key == key)
            return &model;
    return nullptr;
}

WrittenUpdate updateDocument(const ModelUpdate& update) {
    WrittenUpdate written;
    written.problem = valueProblem(update);
    if (!written.problem.empty())
        return written;
    try {
        written.text = toJson(update, true).dump(2) + "\n";
    } catch (const Json::exception&) {
        // Text that is not UTF-8 cannot go into JSON.
        written.problem = "a name in it is not UTF-8 text";
    }
    return written;
}

std::string contentChecksum(std::string_view documentText) {
    try {
        const Json document = Json::parse(documentText);
        if (!document.is_object())
            return {};
        return checksumOf(document);
    } catch (const Json::exception&) {
        return {};
    }
}

ReadUpdate readUpdate(std::string_view text) {
    ReadUpdate read;
    Json document;
    try {
        document = Json::parse(text);
    } catch (const Json::parse_error& error) {
        read.refusal =
            error.byte >= text.size()
                ? "The update file ends before its document does: it was cut short."
                : "The update file is not JSON (at byte " + std::to_string(error.byte) + ").";
        return read;
    } catch (const Json::exception&) {
        // The parser's only other complaint: a number beyond any double (1e999).
        read.refusal = "The update file is refused: it holds a number that is not finite.";
        return read;
    }
    ModelUpdate update;
    if (std::string problem = fromJson(document, update); !problem.empty()) {
        problem[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(problem[0])));
        read.refusal = "The update file is refused: " + problem + ".";
        return read;
    }
    read.update = std::move(update);
    return read;
}

ReadUpdate readUpdateFile(const std::string& path) {
    ReadUpdate read;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0) {
        read.refusal = "The update file cannot be read: " + std::string(std::strerror(errno)) + ".";
        if (fd >= 0)
            ::close(fd);
        return read;
    }
    if (!S_ISREG(info.st_mode) || static_cast<std::uintmax_t>(info.st_size) > kLargestFile) {
        ::close(fd);
        read.refusal = S_ISREG(info.st_mode)
                           ? "The update file is refused: it is larger than an update can be."
                           : "The update file is refused: it is not a regular file.";
        return read;
    }
    std::string text(static_cast<std::size_t>(info.st_size), '\0');
    std::size_t got = 0;
    while (got < text.size()) {
        const ssize_t n = ::read(fd, text.data() + got, text.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    text.resize(got);
    return readUpdate(text);
}

UpdatedRisk applyUpdate(const ModelUpdate& update, double physiologicalScore,
                        double operativeScore) {
    return applyUpdateToRisk(update,
                             riskmodels::riskFromScores(riskmodels::model(update.model),
                                                        physiologicalScore, operativeScore),
                             physiologicalScore, operativeScore);
}

UpdatedRisk applyUpdateToRisk(const ModelUpdate& update, double publishedRisk,
                              double physiologicalScore, double operativeScore) {
    UpdatedRisk result;
    result.published = publishedRisk;
    result.risk = result.published;
    const std::size_t k = update.coefficients.size();
    if (update.method == Method::Original || k == 0)
        return result;
    const double logit = clampedLogit(result.published);
    Eigen::VectorXd x(static_cast<Eigen::Index>(k));
    double offset = 0;
    switch (update.method) {
    case Method::Original:
        break;
    case Method::RecalibrationInTheLarge:
        x << 1;
        offset = logit;
        break;
    case Method::LogisticRecalibration:
        x << 1, logit;
        break;
    case Method::Revision:
        x(0) = 1;
        x(1) = physiologicalScore;
        if (k > 2)
            x(2) = operativeScore;
        break;
    }
    Eigen::VectorXd beta(static_cast<Eigen::Index>(k));
    Eigen::MatrixXd sigma(static_cast<Eigen::Index>(k), static_cast<Eigen::Index>(k));
    for (std::size_t r = 0; r < k; ++r) {
        beta(static_cast<Eigen::Index>(r)) = update.coefficients[r];
        for (std::size_t c = 0; c < k; ++c)
            sigma(static_cast<Eigen::Index>(r), static_cast<Eigen::Index>(c)) =
                update.covariance[r][c];
    }
    const double eta = offset + x.dot(beta);
    const double se = std::sqrt(std::max(0.0, x.dot(sigma * x)));
    result.risk = expit(eta);
    result.lower = expit(eta - kZ975 * se);
    result.upper = expit(eta + kZ975 * se);
    return result;
}

} // namespace caldrin::modelupdate
