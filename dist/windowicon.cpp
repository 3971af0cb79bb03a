// SPDX-License-Identifier: GPL-3.0-or-later
#include "dist/windowicon.h"

#include <QIconEngine>
#include <QPainter>
#include <QPixmap>

#include <algorithm>
#include <array>

namespace caldrin {

namespace {

constexpr std::array kIconSizes = {16, 24, 32, 48, 64, 128};

// Reads each size's image only when that size is first drawn. Qt's own
// engine reads every file as it is added, which cost each start-up as much
// as a tenth of its instructions for images a window manager may never ask for.
class BuiltInIconEngine : public QIconEngine {
public:
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        const int side = fittingSide(size);
        QPixmap& image = images_[indexOf(side)];
        if (image.isNull())
            image.load(QStringLiteral(":/icons/%1x%1/apps/org.caldrin.Calculator.png").arg(side));
        // Qt's engine, given the one image, scales it and draws the other modes.
        return QIcon(image).pixmap(size, mode, state);
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        painter->drawPixmap(rect, pixmap(rect.size(), mode, state));
    }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override {
        const int side = std::min(fittingSide(size), std::min(size.width(), size.height()));
        return {side, side};
    }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override {
        QList<QSize> sizes;
        for (const int side : kIconSizes)
            sizes.append(QSize(side, side));
        return sizes;
    }

    QIconEngine* clone() const override { return new BuiltInIconEngine(*this); }
    QString key() const override { return QStringLiteral("caldrin-built-in"); }

private:
    // The smallest image at least as large as `size`, else the largest.
    static int fittingSide(const QSize& size) {
        const int wanted = std::max(size.width(), size.height());
        for (const int side : kIconSizes)
            if (side >= wanted)
                return side;
        return kIconSizes.back();
    }

    static std::size_t indexOf(int side) {
        return std::size_t(std::find(kIconSizes.begin(), kIconSizes.end(), side) -
                           kIconSizes.begin());
    }

    std::array<QPixmap, kIconSizes.size()> images_;
};

} // namespace

QIcon applicationIcon() {
    return QIcon(new BuiltInIconEngine);
}

} // namespace caldrin
