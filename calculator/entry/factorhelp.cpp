// SPDX-License-Identifier: GPL-3.0-or-later
#include "entry/factorhelp.h"

namespace caldrin {

FactorHelp factorHelp(Factor factor) {
    // Short enough to read in a tooltip; the help file gives examples, edge
    // values and unit conversions under the same anchor.
    switch (factor) {
    case Factor::Age:
        return {QStringLiteral("factor-age"),
                QStringLiteral("Age in completed years on the day of the operation: a patient of "
                               "60 years and 11 months is 60.")};
    case Factor::Cardiac:
        return {QStringLiteral("factor-cardiac"),
                QStringLiteral("From the history, examination and chest X-ray; the highest "
                               "finding decides. No failure: none of the below. Second option: "
                               "on a diuretic, digoxin, an antianginal or an antihypertensive "
                               "drug. Third: peripheral oedema, on warfarin, or a borderline "
                               "enlarged heart on X-ray. Fourth: raised jugular venous pressure "
                               "or cardiomegaly on X-ray.")};
    case Factor::Respiratory:
        return {QStringLiteral("factor-respiratory"),
                QStringLiteral("From the history and chest X-ray; the highest finding decides. "
                               "Second option: breathless on exertion, or mild chronic "
                               "obstructive airways disease (COAD) on X-ray. Third: "
                               "breathlessness that stops the patient within one flight of "
                               "stairs, or moderate COAD. Fourth: breathless at rest or a "
                               "respiratory rate of 30 a minute or more, or fibrosis or "
                               "consolidation on X-ray.")};
    case Factor::SystolicBP:
        return {QStringLiteral("factor-systolic-bp"),
                QStringLiteral("Systolic pressure in mmHg at the time of surgery, the worst "
                               "reading. Low and high pressures both score. 130 is printed in "
                               "the first two options: grade it as 110 -130 (1 point), because "
                               "the published second band starts at 131.")};
    case Factor::Pulse:
        return {QStringLiteral("factor-pulse"),
                QStringLiteral("Heart rate per minute at the time of surgery, the worst reading. "
                               "Slow and fast rates both score.")};
    case Factor::GlasgowComaScale:
        return {QStringLiteral("factor-gcs"),
                QStringLiteral("Total Glasgow Coma Scale, 3 to 15 (eyes, voice, movement), "
                               "assessed before anaesthesia and sedation. A fully alert patient "
                               "scores 15.")};
    case Factor::Haemoglobin:
        return {QStringLiteral("factor-haemoglobin"),
                QStringLiteral("Haemoglobin in g/dL, the worst value before the operation. From "
                               "g/L divide by 10 (125 g/L is 12.5 g/dL), or type the value with "
                               "its unit below the options. Low and high values both score.")};
    case Factor::WhiteCellCount:
        return {QStringLiteral("factor-wcc"),
                QStringLiteral("White cell count in thousand millions per litre (x10^9/L, the "
                               "same number as thousands per microlitre). Low and high counts "
                               "both score. 4.0 is printed in two options: grade it as 4 - 10.")};
    case Factor::Urea:
        return {QStringLiteral("factor-urea"),
                QStringLiteral("Blood urea in mmol/L, the worst value before the operation. From "
                               "blood urea nitrogen (BUN) in mg/dL divide by 2.8: BUN 21, 28 and "
                               "42 mg/dL are 7.5, 10.0 and 15.0 mmol/L. Below the options the "
                               "value can be typed as BUN or urea in mg/dL.")};
    case Factor::Sodium:
        return {QStringLiteral("factor-sodium"),
                QStringLiteral("Serum sodium in mmol/L (the same number in mEq/L), the worst "
                               "value before the operation. Only low values score.")};
    case Factor::Potassium:
        return {QStringLiteral("factor-potassium"),
                QStringLiteral("Serum potassium in mmol/L (the same number in mEq/L), the worst "
                               "value before the operation. Low and high values both score.")};
    case Factor::ECG:
        return {QStringLiteral("factor-ecg"),
                QStringLiteral("The 12-lead ECG before the operation. Atrial fibrillation scores "
                               "4 only with a ventricular rate of 60 to 90; faster or slower AF, "
                               "any other abnormal rhythm, 5 or more ectopic beats a minute, Q "
                               "waves or ST/T changes score 8.")};
    case Factor::OperativeSeverity:
        return {QStringLiteral("factor-operative-severity"),
                QStringLiteral("The size of the operation actually done. Moderate: for example "
                               "appendicectomy, cholecystectomy, mastectomy. Major: any "
                               "laparotomy, bowel resection, peripheral vascular operation, "
                               "major amputation. Major +: aortic surgery, abdominoperineal, "
                               "pancreatic or liver resection, oesophagogastrectomy.")};
    case Factor::MultipleProcedures:
        return {QStringLiteral("factor-multiple-procedures"),
                QStringLiteral("The number of separate operations in this episode, the one "
                               "graded included. Parts of one standard operation count once; a "
                               "second, separate operation under the same anaesthetic or a "
                               "return to theatre counts again.")};
    case Factor::TotalBloodLoss:
        return {QStringLiteral("factor-blood-loss"),
                QStringLiteral("Total blood loss during the operation in millilitres: swabs, "
                               "suction and drapes.")};
    case Factor::PeritonealSoiling:
        return {QStringLiteral("factor-peritoneal-soiling"),
                QStringLiteral("What the abdomen held at operation. Minor: serous fluid only. "
                               "Local pus: an abscess or pus confined to one area. Free bowel "
                               "content, pus or blood: generalised contamination, such as a "
                               "perforation with faecal peritonitis or a haemoperitoneum. None "
                               "for operations outside the abdomen.")};
    case Factor::MalignancyPresent:
        return {QStringLiteral("factor-malignancy"),
                QStringLiteral("The spread of a cancer as known at the end of the operation: "
                               "primary tumour only, spread to lymph nodes, or distant "
                               "metastases (for example in the liver or on the peritoneum).")};
    case Factor::ModeOfSurgery:
        return {QStringLiteral("factor-mode-of-surgery"),
                QStringLiteral("Elective: booked ahead. Second option: an emergency that allows "
                               "more than 2 hours of resuscitation, operated on within 24 hours "
                               "of admission. Third option: an emergency needing surgery within "
                               "2 hours.")};
    }
    return {};
}

QString factorToolTip(Factor factor) {
    return QStringLiteral("<p>") + factorHelp(factor).definition.toHtmlEscaped() +
           QStringLiteral("</p>");
}

QString factorWhatsThis(Factor factor) {
    return factorToolTip(factor) + QStringLiteral("<p><a href=\"%1\">The grading guide for "
                                                  "this factor</a>, with examples and unit "
                                                  "conversions, in the help.</p>")
                                       .arg(factorHelp(factor).anchor);
}

} // namespace caldrin
