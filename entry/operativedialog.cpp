#include "entry/operativedialog.h"

namespace caldrin {

TForm4::TForm4(Platform& platform, Assessment& assessment, QWidget* parent)
    : ScorePage(platform, assessment, Page::Operative, QStringLiteral("Operative Severity Score"),
                parent) {
    setObjectName(QStringLiteral("TForm4"));
}

void TForm4::SetUpForm4() {
    setUpPage();
}

void TForm4::pageConfirmed(std::uint8_t pageTotal) {
    Q_EMIT scoreConfirmed(pageTotal);
}

} // namespace caldrin
