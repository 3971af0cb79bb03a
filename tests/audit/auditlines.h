// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Hand-made audit records for the tests, in the calculator's column order.

#include <array>
#include <string>
#include <string_view>

namespace caldrin::audit::testing {

// Texts joined by appending (GCC 12 at -O3 warns wrongly about "text" + temporary).
template <typename... Parts> std::string cat(const Parts&... parts) {
    std::string out;
    (out.append(std::string_view(parts)), ...);
    return out;
}

struct Row {
    std::string name = "Ann Smith";
    std::string id = "1001";
    std::string dob = "01/02/1950";
    std::string date = "10/03/2024";
    int ps = 20;
    int os = 10;
    // P_MORB, P_MORT, P-P_MORT, V_MORT, VP_MORT as written.
    std::array<std::string, 5> risks = {"0.2000", "0.1000", "0.0500", "0.0400", "0.0300"};
    std::string morbidity = "0";
    std::string mortality = "0";
};

inline std::string identity(const Row& row) {
    return cat(row.name, ",", row.id, ",", row.dob, ",", row.date);
}

inline std::string figures(const Row& row) {
    std::string text;
    for (int f = 0; f < 12; ++f)
        text += "1,";
    text += std::to_string(row.ps) + ",";
    for (int f = 0; f < 6; ++f)
        text += "1,";
    text += std::to_string(row.os);
    for (const std::string& risk : row.risks)
        text += cat(",", risk);
    return cat(text, ",", row.morbidity, ",", row.mortality);
}

inline std::string line(const Row& row) {
    return cat(identity(row), ",", figures(row), "\r\n");
}

inline const std::string kHeader = "NAME,ID,DOB,DATE,AGE,CARDIAC,RESPIRATORY,BP,PULSE,GCS,"
                                   "Hb,WCC,Urea,Na+,K+,ECG,PHYS_TOTAL,"
                                   "OP_SEV,MULT,BL_LOSS,SOIL,MALIG,MODE,OP_TOTAL,"
                                   "P_MORB,P_MORT,P-P_MORT,V_MORT,VP_MORT,"
                                   "MORBIDITY,MORTALITY\r\n";

} // namespace caldrin::audit::testing
