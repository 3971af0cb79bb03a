// SPDX-License-Identifier: GPL-3.0-or-later
// The help's model chapter, the audit command's manual page and the audit
// PDF's method notes must say what the model table says: each model's name
// with its own equation, and its source.

#include "auditwindow/methodnotes.h"
#include "riskmodels/riskmodels.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <string>

namespace caldrin::riskmodels {
namespace {

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void replaceAll(std::string& text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

// Markup gone, minus signs and hyphens plain, spaces single.
std::string plain(std::string text) {
    text = std::regex_replace(text, std::regex("<[^>]*>"), "");
    for (const auto& [from, to] :
         {std::pair{"&minus;", "-"}, std::pair{"&nbsp;", " "}, std::pair{"&ndash;", "-"},
          std::pair{"\\-", "-"}, std::pair{"\\(mu", " x "}})
        replaceAll(text, from, to);
    return std::regex_replace(text, std::regex("\\s+"), " ");
}

std::string constant(double value) {
    // The table's own form of a constant, taken from its equation text.
    const RiskModel probe{ModelId::PossumMortality, "", "", "", "", value, 0, 0, false,
                          Predicts::Mortality,      "", "", "", "", ""};
    const std::string text = equationText(probe); // "ln(R/(1-R)) = -9.065 + 0.00 x PS"
    const std::size_t start = text.find("= ") + 2;
    return text.substr(start, text.find(" + ") - start);
}

// Some mention of the model's name is followed, before the next 400
// characters end, by all of its constants.
::testing::AssertionResult namesItsEquation(const std::string& text, const RiskModel& m) {
    std::vector<std::string> wanted{constant(m.intercept), constant(m.psCoefficient)};
    if (m.usesOperativeScore)
        wanted.push_back(constant(m.osCoefficient));
    for (std::size_t at = text.find(m.title); at != std::string::npos;
         at = text.find(m.title, at + 1)) {
        const std::string after = text.substr(at + m.title.size(), 400);
        bool all = true;
        for (const std::string& c : wanted)
            all = all && after.find(c) != std::string::npos;
        if (all)
            return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << m.title << " is not followed by " << wanted[0] << ", " << wanted[1];
}

TEST(ModelDocuments, HelpManualPageAndMethodNotesFollowTheTable) {
    const std::string help = plain(slurp(CALDRIN_SOURCE_DIR "/help/Caldrin v3.hlp"));
    const std::string manual =
        plain(slurp(CALDRIN_SOURCE_DIR "/audit_analysis/auditcli/caldrin-audit.1"));
    std::string notesText;
    for (const QString& note : auditwindow::methodNotes())
        notesText += note.toStdString() + "\n";
    const std::string notes = notesText;
    ASSERT_FALSE(help.empty());
    ASSERT_FALSE(manual.empty());

    for (const RiskModel& m : allModels()) {
        EXPECT_TRUE(namesItsEquation(help, m)) << "help";
        EXPECT_TRUE(namesItsEquation(manual, m)) << "caldrin-audit.1";
        EXPECT_TRUE(namesItsEquation(notes, m)) << "PDF method notes";
        for (const auto& [name, text] :
             {std::pair{"help", &help}, std::pair{"manual", &manual}, std::pair{"notes", &notes}}) {
            EXPECT_NE(text->find(m.doi), std::string::npos) << name << ": " << m.doi;
        }
        if (isStored(m)) {
            EXPECT_NE(manual.find(std::string(m.storedColumn)), std::string::npos);
        }
    }
    // The ruptured-aneurysm equations are never again offered under the
    // arterial-surgery name: no V-POSSUM title is followed by their constants.
    for (const ModelId id :
         {ModelId::RaaaPossumMortality, ModelId::RaaaPossumPhysiologicalMortality}) {
        RiskModel misnamed = model(id);
        misnamed.title = id == ModelId::RaaaPossumMortality ? "V-POSSUM mortality"
                                                            : "V-POSSUM physiological mortality";
        EXPECT_FALSE(namesItsEquation(help, misnamed));
        EXPECT_FALSE(namesItsEquation(manual, misnamed));
        EXPECT_FALSE(namesItsEquation(notes, misnamed));
    }
    EXPECT_NE(help.find("not for elective vascular patients"), std::string::npos);
}

} // namespace
} // namespace caldrin::riskmodels
