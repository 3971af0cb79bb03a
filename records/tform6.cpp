#include "records/tform6.h"

#include "widgets/textedge.h"

#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace caldrin {

TForm6::TForm6(QWidget* parent)
    : QWidget(parent, Qt::Window)
    , RichEdit1(new QPlainTextEdit(this))
    , BitBtn1(new QPushButton(QStringLiteral("&Close"), this))
    , BitBtn2(new QPushButton(QStringLiteral("&Help"), this)) {
    setObjectName(QStringLiteral("TForm6"));
    RichEdit1->setObjectName(QStringLiteral("RichEdit1"));
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));

    RichEdit1->setAccessibleName(QStringLiteral("MD5 test results"));
    // Tab moves on to the buttons; the results take no tab characters.
    RichEdit1->setTabChangesFocus(true);
    RichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    RichEdit1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff); // long lines wrap

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BitBtn2);
    buttons->addWidget(BitBtn1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(RichEdit1);
    layout->addLayout(buttons);

    setTabOrder(RichEdit1, BitBtn2);
    setTabOrder(BitBtn2, BitBtn1);
    // Wide enough to show the suite's longest line, the 80-digit test text, unwrapped.
    const QString longest = QStringLiteral("MD5('%1')=").arg(QString(80, QLatin1Char('0')));
    resize(RichEdit1->fontMetrics().horizontalAdvance(longest) + 80, 560);

    connect(BitBtn1, &QPushButton::clicked, this, &TForm6::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TForm6::BitBtn2Click);
}

void TForm6::showSelfTest(const std::vector<std::string>& lines) {
    QStringList text;
    text.reserve(static_cast<qsizetype>(lines.size()));
    for (const std::string& line : lines)
        text.append(fromCp1252Bytes(line));
    // Each run starts from an empty box: a second run shows the same lines again.
    RichEdit1->setPlainText(text.join(QLatin1Char('\n')));
    setWindowTitle(QStringLiteral("MD5 Test Suite"));
    show();
    raise();
    activateWindow();
}

void TForm6::BitBtn1Click() {
    hide();
}

void TForm6::BitBtn2Click() {
    Q_EMIT helpRequested(QStringLiteral("hash"));
}

} // namespace caldrin
