// SPDX-License-Identifier: GPL-3.0-or-later
// Writes a generated audit data file: generate FILE RECORDS.

#include "auditgenerator.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: audit_bench_data FILE RECORDS\n");
        return 1;
    }
    caldrin::audit::testing::GeneratedAudit generated;
    generated.records = std::strtoull(argv[2], nullptr, 10);
    generated.seed = 2026;
    generated.years = 10;
    generated.oddsMultiplier = 1.2;
    generated.repeatShare = 0.02;
    generated.unknownOutcomeShare = 0.02;
    return caldrin::audit::testing::writeAuditFile(argv[1], generated) ? 0 : 1;
}
