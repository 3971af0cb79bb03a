#include "dist/windowicon.h"

namespace caldrin {

QIcon applicationIcon() {
    QIcon icon;
    // With their sizes given, the images are read only when a size is drawn.
    for (const int size : {16, 24, 32, 48, 64, 128}) {
        icon.addFile(QStringLiteral(":/icons/%1x%1/apps/org.caldrin.Calculator.png").arg(size),
                     QSize(size, size));
    }
    return icon;
}

} // namespace caldrin
