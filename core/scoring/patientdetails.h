// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace caldrin {

// The texts of the patient details dialog exactly as they stand in its fields,
// as Windows-1252 bytes. The report and the audit record read them.
// clang-format off
struct PatientDetails {
    std::string name;              // Name_Edit
    std::string identity;          // ID_Edit
    std::string dateOfBirth;       // DOB_Edit
    std::string dateOfProcedure;   // Procdate
    std::string hashedIdentifier;  // Edit1
    std::string morbidity;         // MorbidEdit: "", "0" or "1"
    std::string died;              // DiedEdit: "", "0", "1" or what the user typed
};
// clang-format on

} // namespace caldrin
