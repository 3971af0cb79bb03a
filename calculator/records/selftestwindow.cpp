// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/selftestwindow.h"

#include "widgets/textedge.h"

#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace caldrin {

SelfTestWindow::SelfTestWindow(QWidget* parent)
    : QWidget(parent, Qt::Window)
    , resultsEdit(new QPlainTextEdit(this))
    , closeButton(new QPushButton(QStringLiteral("&Close"), this))
    , helpButton(new QPushButton(QStringLiteral("&Help"), this)) {
    setObjectName(QStringLiteral("TForm6"));
    resultsEdit->setObjectName(QStringLiteral("RichEdit1"));
    closeButton->setObjectName(QStringLiteral("BitBtn1"));
    helpButton->setObjectName(QStringLiteral("BitBtn2"));

    resultsEdit->setAccessibleName(QStringLiteral("MD5 test results"));
    // Tab moves on to the buttons; the results take no tab characters.
    resultsEdit->setTabChangesFocus(true);
    resultsEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    resultsEdit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff); // long lines wrap

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(helpButton);
    buttons->addWidget(closeButton);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(resultsEdit);
    layout->addLayout(buttons);

    setTabOrder(resultsEdit, helpButton);
    setTabOrder(helpButton, closeButton);
    connect(closeButton, &QPushButton::clicked, this, &SelfTestWindow::closeClicked);
    connect(helpButton, &QPushButton::clicked, this, &SelfTestWindow::helpClicked);
}

void SelfTestWindow::showSelfTest(const std::vector<std::string>& lines) {
    QStringList text;
    text.reserve(static_cast<qsizetype>(lines.size()));
    for (const std::string& line : lines)
        text.append(fromCp1252Bytes(line));
    // Each run starts from an empty box: a second run shows the same lines again.
    resultsEdit->setPlainText(text.join(QLatin1Char('\n')));
    setWindowTitle(QStringLiteral("MD5 Test Suite"));
    // Sized at its first showing, which most runs never reach: measuring
    // the text would cost every start-up.
    if (!sized_) {
        sized_ = true;
        // Wide enough to show the suite's longest line, the 80-digit test text, unwrapped.
        const QString longest = QStringLiteral("MD5('%1')=").arg(QString(80, QLatin1Char('0')));
        resize(resultsEdit->fontMetrics().horizontalAdvance(longest) + 80, 560);
    }
    show();
    raise();
    activateWindow();
}

void SelfTestWindow::closeClicked() {
    hide();
}

void SelfTestWindow::helpClicked() {
    Q_EMIT helpRequested(QStringLiteral("hash"));
}

} // namespace caldrin
