// The parameter page of every family, in both shipped languages, as a screen reader and a
// reader see it: every control with its name, caption, list entries and state, and the record
// a Set writes after a read. The recorded layout file holds what the page showed when it was
// recorded; set TAGBENCH_RECORD_LAYOUT=1 to record it again after a deliberate change.
#include "param_page_fixture.h"

#include "kit/Accessible.h"

#include <QAbstractButton>
#include <QFile>
#include <QGroupBox>
#include <QLabel>

namespace paramtest {

namespace {

using pagetest::CFakeMainWindow;
using pagetest::CScriptedReader;

const QString layoutFile = QStringLiteral(TAGBENCH_PARAM_LAYOUT_FILE);

QString shownText(QWidget *widget) {
    if (auto *button = qobject_cast<QAbstractButton *>(widget)) return button->text();
    if (auto *label = qobject_cast<QLabel *>(widget)) return label->text();
    if (auto *group = qobject_cast<QGroupBox *>(widget)) return group->title();
    if (auto *edit = qobject_cast<QLineEdit *>(widget)) return edit->text();
    if (auto *list = qobject_cast<QComboBox *>(widget)) {
        QStringList items;
        for (int index = 0; index < list->count(); ++index) items.append(list->itemText(index));
        return items.join(u'|') + QStringLiteral(" @%1").arg(list->currentIndex());
    }
    return {};
}

// One line per widget, in the order the page made them, nested ones after their parent.
QString widgetLines(QWidget *page) {
    QString lines;
    for (QWidget *widget : page->findChildren<QWidget *>()) {
        if (widget->objectName().startsWith(QStringLiteral("qt_"))) continue;
        lines += QStringLiteral("%1 #%2 [%3] \"%4\"%5%6\n")
                     .arg(QString::fromLatin1(widget->metaObject()->className()),
                          widget->objectName(), accessible::nameOf(widget), shownText(widget),
                          widget->isHidden() ? QStringLiteral(" hidden") : QString(),
                          widget->isEnabled() ? QString() : QStringLiteral(" disabled"));
    }
    return lines;
}

// Leading byte, then bytes 0..24 with every field set.
Bytes recordReply() {
    return {0x07, 1, 1, 0x21, 5,  10, 1, 2,    0x05, 0x85, 1,  0x02, 0x0C,
            7,    1, 1, 20,   30, 40, 0, 0x0F, 4,    2,    10, 1,    1};
}

QString pageLayout(Family family, const QString &language) {
    CScriptedReader reader;
    reader.answer("readRecord", recordReply());
    reader.answer("checkModule", Bytes{1});
    reader.answer("writeRecord", Bytes{});
    CFakeMainWindow window{reader, nullptr, language};
    window.type = readerfamily::traitsOf(family).defaultType;
    std::unique_ptr<CDlgParamPage> page = makePage(family, window);
    accessible::nameControls(page.get());
    QString layout = QStringLiteral("== %1 %2\n")
                         .arg(QString::fromLatin1(readerfamily::traitsOf(family).name), language);
    layout += widgetLines(page.get());
    page->readParameters();
    EXPECT_TRUE(waitForLogCount(window, CDlgParamPage::successText, 1));
    layout += QStringLiteral("-- after a read\n") + widgetLines(page.get());
    press(page.get(), "setButton");
    EXPECT_TRUE(waitForLogCount(window, CDlgParamPage::successText, 2));
    const auto writes = reader.callsOf("writeRecord");
    const Bytes written = writes.empty() ? Bytes{} : writes.back().bytes;
    layout +=
        QStringLiteral("-- written %1\n")
            .arg(QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(written.data()),
                                                qsizetype(written.size()))
                                         .toHex(' ')));
    return layout;
}

TEST(ParamPageLayoutTest, EveryFamilyShowsAndWritesWhatWasRecorded) {
    QString layout;
    for (const Family family : {Family::Alder, Family::Birch, Family::Birch2, Family::Cedar,
                                Family::Cedar2, Family::Elm, Family::Fir, Family::Hazel})
        for (const QString &language : {QStringLiteral("English"), QStringLiteral("Chinese")})
            layout += pageLayout(family, language);

    QFile file(layoutFile);
    if (qEnvironmentVariableIsSet("TAGBENCH_RECORD_LAYOUT")) {
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(layout.toUtf8());
        return;
    }
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << layoutFile.toStdString();
    const QStringList recorded = QString::fromUtf8(file.readAll()).split(u'\n');
    const QStringList shown = layout.split(u'\n');
    for (qsizetype line = 0; line < std::max(recorded.size(), shown.size()); ++line)
        ASSERT_EQ(shown.value(line).toStdString(), recorded.value(line).toStdString())
            << "line " << line + 1;
}

}  // namespace

}  // namespace paramtest
