// Every page of every family, and the connection panel, in both shipped languages at the default
// font: no label, button or line edit cuts its text. Line edits are measured with the longest
// value their field takes, not with what they happen to hold.
#include "kit/CPage.h"
#include "kit/ToolWindow.h"
#include "page_test_kit.h"
#include "pages.h"
#include "reader_family.h"
#include "shell/CPageFactory.h"
#include "shell/CTagDeskDlg.h"
#include "test_files.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionFrame>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace {

using readerfamily::Family;
using readerfamily::PageId;

const QString shippedData = QStringLiteral(TAGBENCH_SHIPPED_DATA_DIR);
// The page area of the main window at its default size.
const QSize pageArea(900, 540);
// Room QLineEdit keeps on each side of its text inside the frame.
constexpr int lineEditTextMargin = 2;

const QString hex = QStringLiteral("0123456789ABCDEF");
const QString decimal = QStringLiteral("0123456789");

struct FullValue {
    int characters;
    QString alphabet;
};

// Fields whose longest value their limits do not tell: the reader's serial number (14 hex
// digits), a version ("15.15"), the tag pages' hex fields (an EPC of 24 hex digits, longer
// ones scroll; data of up to 8 words).
FullValue namedFullValue(const QString &objectName) {
    const std::pair<const char *, FullValue> named[] = {
        {"serialNumberField", {14, hex}}, {"firmwareField", {5, decimal}},
        {"hardwareField", {5, decimal}},  {"quickEpc", {24, hex}},
        {"writeData", {32, hex}},         {"accessPassword", {8, hex}},
        {"startAddress", {2, hex}},       {"wordCount", {2, hex}},
    };
    for (const auto &[name, full] : named)
        if (objectName == QLatin1String(name)) return full;
    return {0, QString()};
}

// The widest text the field takes: a named field's full value, else a value of its maximum
// length when a validator limits it to hex or decimal digits, else what it holds (free text
// such as a domain name scrolls).
int fullValueWidth(const QLineEdit *field) {
    const QFontMetrics metrics = field->fontMetrics();
    FullValue full = namedFullValue(field->objectName());
    if (full.characters == 0 && field->maxLength() <= 32) {
        const auto *pattern = qobject_cast<const QRegularExpressionValidator *>(field->validator());
        const QString expression = pattern ? pattern->regularExpression().pattern() : QString();
        if (expression.contains(u"A-F"))
            full = {field->maxLength(), hex};
        else if (expression.startsWith(u"[0-9]") || expression.contains(u"25[0-5]"))
            full = {field->maxLength(), decimal};
    }
    int widest = 0;
    for (const QChar character : full.alphabet)
        widest = std::max(widest, metrics.horizontalAdvance(character));
    return std::max(full.characters * widest, metrics.horizontalAdvance(field->text()));
}

int lineEditTextWidth(const QLineEdit *field) {
    QStyleOptionFrame option;
    option.initFrom(field);
    option.lineWidth = field->hasFrame() ? field->style()->pixelMetric(QStyle::PM_DefaultFrameWidth,
                                                                       &option, field)
                                         : 0;
    const QMargins margins = field->textMargins();
    return field->style()->subElementRect(QStyle::SE_LineEditContents, &option, field).width() -
           margins.left() - margins.right() - 2 * lineEditTextMargin;
}

QString withoutMnemonic(QString text) {
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    text.remove(u'&');
    return text.replace(u'\x01', u'&');
}

int pushButtonTextWidth(const QPushButton *button) {
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    const int contents =
        button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button).width();
    const int icon = button->icon().isNull() ? 0 : button->iconSize().width() + 4;
    return contents - icon;
}

struct Clip {
    std::string widget;
    std::string text;
    int needed;
    int available;
};

void PrintTo(const Clip &clip, std::ostream *out) {
    *out << clip.widget << " \"" << clip.text << "\" needs " << clip.needed << " px, has "
         << clip.available;
}

// Shown widgets under root whose text does not fit their contents rectangle.
std::vector<Clip> clipsIn(const QWidget *root, const std::string &where) {
    std::vector<Clip> clips;
    const auto check = [&](const QWidget *widget, const QString &text, int needed, int available) {
        if (needed > available)
            clips.push_back({where + "/" + widget->metaObject()->className() + " " +
                                 widget->objectName().toStdString(),
                             text.toStdString(), needed, available});
    };
    for (const QWidget *widget : root->findChildren<QWidget *>()) {
        if (!widget->isVisible()) continue;
        const QFontMetrics metrics = widget->fontMetrics();
        if (const auto *label = qobject_cast<const QLabel *>(widget)) {
            const QString text = label->text();
            if (text.isEmpty() || label->wordWrap() || Qt::mightBeRichText(text)) continue;
            const int available =
                label->contentsRect().width() - 2 * label->margin() - std::max(0, label->indent());
            check(label, text, metrics.horizontalAdvance(withoutMnemonic(text)), available);
        } else if (const auto *push = qobject_cast<const QPushButton *>(widget)) {
            const QString text = withoutMnemonic(push->text());
            if (!text.isEmpty())
                check(push, text, metrics.horizontalAdvance(text), pushButtonTextWidth(push));
        } else if (qobject_cast<const QCheckBox *>(widget) ||
                   qobject_cast<const QRadioButton *>(widget)) {
            // Indicator, spacing and text: the size hint is exactly what the box draws.
            const auto *box = static_cast<const QAbstractButton *>(widget);
            check(box, box->text(), box->sizeHint().width(), box->width());
        } else if (const auto *field = qobject_cast<const QLineEdit *>(widget)) {
            check(field, field->text(), fullValueWidth(field) + 1, lineEditTextWidth(field));
        }
    }
    return clips;
}

// Checks every tab of the inner tab widgets too (their pages are laid out when shown).
std::vector<Clip> clipsInEveryTab(QWidget *root, const std::string &where) {
    std::vector<Clip> clips = clipsIn(root, where);
    for (QTabWidget *tabs : root->findChildren<QTabWidget *>()) {
        for (int tab = 1; tab < tabs->count(); ++tab) {
            tabs->setCurrentIndex(tab);
            QApplication::processEvents();
            for (Clip &clip : clipsIn(tabs->currentWidget(), where + "/tab" + std::to_string(tab)))
                clips.push_back(std::move(clip));
        }
        tabs->setCurrentIndex(0);
    }
    return clips;
}

struct LayoutCase {
    const char *language;
    Family family;  // Unknown: the pages of the maintenance window
};

void PrintTo(const LayoutCase &c, std::ostream *out) {
    *out << c.language << " "
         << (c.family == Family::Unknown ? "maintenance" : readerfamily::traitsOf(c.family).name);
}

std::vector<PageId> pagesOf(Family family) {
    std::vector<PageId> pages;
    const auto tabs = family == Family::Unknown
                          ? readerfamily::maintenanceTabs()
                          : readerfamily::tabsOf(readerfamily::traitsOf(family).defaultType);
    for (const readerfamily::Tab &tab : tabs) pages.push_back(tab.page);
    return pages;
}

// The program runs with its default skin, which sets paddings and borders.
class SkinnedLayoutTest {
  public:
    static void applyDefaultSkin() {
        qApp->setStyleSheet(
            QString::fromUtf8(readFile(shippedData + QStringLiteral("/skin/red.skin"))));
    }
    static void removeSkin() { qApp->setStyleSheet(QString()); }
};

class PageLayoutTest : public ::testing::TestWithParam<LayoutCase> {
  protected:
    static void SetUpTestSuite() { SkinnedLayoutTest::applyDefaultSkin(); }
    static void TearDownTestSuite() { SkinnedLayoutTest::removeSkin(); }
};

TEST_P(PageLayoutTest, NoTextIsCut) {
    const LayoutCase &c = GetParam();
    pagetest::CScriptedReader reader;
    pagetest::CFakeMainWindow window(reader, nullptr, QString::fromLatin1(c.language));
    if (c.family != Family::Unknown) window.type = readerfamily::traitsOf(c.family).defaultType;
    const CPageFactory factory = registeredPages();
    std::vector<Clip> clips;
    for (const PageId id : pagesOf(c.family)) {
        std::unique_ptr<CPage> page(factory.create(id, window, nullptr));
        page->resize(pageArea.expandedTo(page->minimumSizeHint()));
        page->show();
        QApplication::processEvents();
        for (Clip &clip : clipsInEveryTab(page.get(), readerfamily::pageClassName(id)))
            clips.push_back(std::move(clip));
    }
    EXPECT_TRUE(clips.empty()) << ::testing::PrintToString(clips);
}

std::vector<LayoutCase> everyFamilyInEveryLanguage() {
    std::vector<LayoutCase> cases;
    for (const char *language : {"English", "Chinese"}) {
        for (const Family family :
             {Family::Fir, Family::Hazel, Family::Elm, Family::Cedar, Family::Cedar2, Family::Birch,
              Family::Birch2, Family::Alder, Family::Unknown})
            cases.push_back({language, family});
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Shipped, PageLayoutTest,
                         ::testing::ValuesIn(everyFamilyInEveryLanguage()));

class ActivePageTextTest : public ::testing::TestWithParam<const char *> {};

// The note says something (not a bare "Note:"), and the rate says what its two figures are to
// a pointer and to a screen reader, in the operator's language.
TEST_P(ActivePageTextTest, NoteAndRateSayWhatTheyAre) {
    pagetest::CScriptedReader reader;
    pagetest::CFakeMainWindow window(reader, nullptr, QString::fromLatin1(GetParam()));
    const CPageFactory factory = registeredPages();
    for (const PageId id : {PageId::ActiveRead, PageId::ActiveTemp}) {
        std::unique_ptr<CPage> page(factory.create(id, window, nullptr));
        page->show();
        const auto *note = page->findChild<QLabel *>(QStringLiteral("noteLabel"));
        const auto *rate = page->findChild<QLabel *>(QStringLiteral("readRate"));
        ASSERT_NE(note, nullptr);
        ASSERT_NE(rate, nullptr);
        EXPECT_TRUE(note->isVisible());
        EXPECT_EQ(note->text(), window.text(1224));
        EXPECT_GT(note->text().size(), 10) << note->text().toStdString();
        EXPECT_TRUE(note->text().contains(QStringLiteral("per second")) ||
                    note->text().contains(QStringLiteral("每秒")))
            << "the note explains the rate";
        EXPECT_EQ(rate->toolTip(), note->text());
        EXPECT_EQ(rate->accessibleDescription(), note->text());
    }
}

INSTANTIATE_TEST_SUITE_P(Shipped, ActivePageTextTest, ::testing::Values("English", "Chinese"));

class InventoryRateTextTest : public ::testing::TestWithParam<const char *> {};

// The inventory pages' rate says what its two figures are in the operator's language too.
TEST_P(InventoryRateTextTest, RateSaysWhatItsFiguresAre) {
    pagetest::CScriptedReader reader;
    pagetest::CFakeMainWindow window(reader, nullptr, QString::fromLatin1(GetParam()));
    const CPageFactory factory = registeredPages();
    const QString explanation = window.text(keyNumber(Text::ReadRateExplanation));
    EXPECT_TRUE(explanation.contains(QStringLiteral("per second")) ||
                explanation.contains(QStringLiteral("每秒")))
        << explanation.toStdString();
    for (const PageId id : {PageId::IdentifyTab, PageId::IdentifyTemp}) {
        std::unique_ptr<CPage> page(factory.create(id, window, nullptr));
        auto *rate = page->findChild<QLabel *>(QStringLiteral("readRate"));
        ASSERT_NE(rate, nullptr);
        EXPECT_EQ(rate->toolTip(), explanation);
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(rate);
        ASSERT_NE(accessible, nullptr);
        EXPECT_EQ(accessible->text(QAccessible::Description), explanation);
    }
}

INSTANTIATE_TEST_SUITE_P(Shipped, InventoryRateTextTest, ::testing::Values("English", "Chinese"));

class PanelLayoutTest : public ::testing::TestWithParam<int> {
  protected:
    // The window attaches the skin itself.
    static void TearDownTestSuite() { SkinnedLayoutTest::removeSkin(); }
};

// The main window at its default size, with a reader's full serial number and versions shown.
TEST_P(PanelLayoutTest, NoTextIsCut) {
    QTemporaryDir configDirectory;
    writeFile(configDirectory.filePath(QStringLiteral("SystemConfig.ini")),
              QByteArray("[SystemConfig]\nLanguageNum=2\nLanguage1=Chinese\nLanguage2=English\n"
                         "LanguageSelect=") +
                  QByteArray::number(GetParam()) + "\n");
    CTagDeskDlg window(CAppPaths::forProgramDirectory(configDirectory.path()),
                       CDataFiles(shippedData, shippedData), CPageFactory());
    window.show();
    QApplication::processEvents();
    auto *panel = window.findChild<QWidget *>(QStringLiteral("connectionPanel"));
    ASSERT_NE(panel, nullptr);
    const std::vector<Clip> clips = clipsIn(panel, "connectionPanel");
    EXPECT_TRUE(clips.empty()) << ::testing::PrintToString(clips);
}

INSTANTIATE_TEST_SUITE_P(ChineseAndEnglish, PanelLayoutTest, ::testing::Values(0, 1));

}  // namespace

namespace {

struct PlacementCase {
    const char *name;
    QRect mainFrame;
    QSize toolFrame;
    QPoint expected;
};

void PrintTo(const PlacementCase &c, std::ostream *out) {
    *out << c.name;
}

class ToolWindowPlacementTest : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(ToolWindowPlacementTest, BesideTheMainWindowInsideTheScreen) {
    const PlacementCase &c = GetParam();
    const QRect screen(0, 0, 1600, 900);
    const QPoint at = toolwindow::besidePosition(c.mainFrame, c.toolFrame, screen);
    EXPECT_EQ(at, c.expected);
    EXPECT_TRUE(screen.contains(QRect(at, c.toolFrame.boundedTo(screen.size()))));
}

INSTANTIATE_TEST_SUITE_P(
    Screens, ToolWindowPlacementTest,
    ::testing::Values(
        PlacementCase{"room on the right", {0, 0, 800, 600}, {640, 560}, {808, 0}},
        PlacementCase{"room on the left only", {700, 50, 900, 700}, {640, 560}, {52, 50}},
        // The finding: a 1200-pixel window at x = 189 put its chart at x = 1397.
        PlacementCase{"no room beside", {189, 40, 1208, 820}, {640, 560}, {189, 40}},
        PlacementCase{"main window below the middle", {0, 500, 800, 400}, {420, 300}, {808, 500}},
        PlacementCase{"main window low on the screen", {0, 700, 800, 200}, {640, 560}, {808, 340}},
        PlacementCase{"tool larger than the screen", {0, 0, 800, 600}, {2000, 1000}, {0, 0}}),
    [](const ::testing::TestParamInfo<PlacementCase> &info) {
        std::string name = info.param.name;
        std::replace(name.begin(), name.end(), ' ', '_');
        return name;
    });

struct CascadeCase {
    const char *name;
    QPoint start;
    QList<QRect> titleBars;
    QPoint expected;
};

void PrintTo(const CascadeCase &c, std::ostream *out) {
    *out << c.name;
}

class ToolWindowCascadeTest : public ::testing::TestWithParam<CascadeCase> {};

// 640x560 frames on a 1600x900 screen, in steps of 32.
TEST_P(ToolWindowCascadeTest, NoTitleBarCoveredAndInsideTheScreen) {
    const CascadeCase &c = GetParam();
    const QRect screen(0, 0, 1600, 900);
    const QSize frame(640, 560);
    const QPoint at = toolwindow::cascadedPosition(c.start, frame, screen, c.titleBars, 32);
    EXPECT_EQ(at, c.expected);
    EXPECT_TRUE(screen.contains(QRect(at, frame)));
}

QRect titleBarAt(int x, int y) {
    return {x, y, 640, 32};
}

QList<QRect> stackedTitleBars(QPoint from, int count) {
    QList<QRect> bars;
    for (int index = 0; index < count; ++index)
        bars.append(titleBarAt(from.x() + 32 * index, from.y() + 32 * index));
    return bars;
}

INSTANTIATE_TEST_SUITE_P(
    Screens, ToolWindowCascadeTest,
    ::testing::Values(
        CascadeCase{"nothing open", {100, 40}, {}, {100, 40}},
        CascadeCase{"another title bar elsewhere", {100, 40}, {titleBarAt(900, 300)}, {100, 40}},
        CascadeCase{"the main window's title bar", {100, 40}, {titleBarAt(100, 40)}, {132, 72}},
        CascadeCase{
            "a title bar just below the frame", {100, 40}, {titleBarAt(300, 600)}, {100, 40}},
        CascadeCase{
            "three open at the spot", {100, 40}, stackedTitleBars({100, 40}, 3), {196, 136}},
        // At the bottom right corner the first step leaves the screen: they start again at
        // its top-left corner.
        CascadeCase{"steps leave the screen", {960, 340}, {titleBarAt(960, 340)}, {0, 0}},
        CascadeCase{"start outside the screen", {1500, 800}, {}, {960, 340}},
        CascadeCase{"no free place", {100, 40}, {QRect(0, 0, 1600, 900)}, {100, 40}}),
    [](const ::testing::TestParamInfo<CascadeCase> &info) {
        std::string name = info.param.name;
        std::replace(name.begin(), name.end(), ' ', '_');
        std::replace(name.begin(), name.end(), '\'', '_');
        return name;
    });

// The chart window a page opens (and the maintenance and locate windows use the same helper)
// opens inside the screen of a main window standing at the screen's right edge.
TEST(ToolWindowTest, ChartOpensInsideTheScreenOfTheMainWindow) {
    pagetest::CScriptedReader reader;
    pagetest::CFakeMainWindow services(reader);
    const CPageFactory factory = registeredPages();
    std::unique_ptr<CPage> page(factory.create(PageId::ActiveRead, services, nullptr));
    const QRect screen = page->screen()->availableGeometry();
    page->resize(std::min(900, screen.width() / 2), std::min(540, screen.height() / 2));
    page->move(screen.right() - page->width() - 10, screen.top() + 20);
    page->show();
    QApplication::processEvents();

    auto *chartButton = page->findChild<QPushButton *>(QStringLiteral("chartButton"));
    ASSERT_NE(chartButton, nullptr);
    // Pressed as an assistive tool presses it.
    QAccessibleInterface *button = QAccessible::queryAccessibleInterface(chartButton);
    ASSERT_NE(button, nullptr);
    ASSERT_NE(button->actionInterface(), nullptr);
    button->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QWidget *chart = nullptr;
    ASSERT_TRUE(pagetest::waitUntil([&] {
        for (QWidget *window : QApplication::topLevelWidgets())
            if (window != page.get() && window->isVisible() &&
                window->objectName() == u"chartWindow")
                chart = window;
        return chart != nullptr;
    }));
    EXPECT_TRUE(screen.contains(chart->frameGeometry()))
        << chart->frameGeometry().x() << "," << chart->frameGeometry().y() << " "
        << chart->frameGeometry().width() << "x" << chart->frameGeometry().height() << " on "
        << screen.width() << "x" << screen.height();
}

// Tool windows of one main window: the chart of a second page opens where it covers neither
// the first chart's title bar nor the main window's, inside the screen.
TEST(ToolWindowTest, ChartsOfOneMainWindowCascade) {
    pagetest::CScriptedReader reader;
    pagetest::CFakeMainWindow services(reader);
    const CPageFactory factory = registeredPages();
    QWidget mainWindow;
    const QRect screen = mainWindow.screen()->availableGeometry();
    mainWindow.setGeometry(screen.left(), screen.top(), 150, 150);
    auto *layout = new QVBoxLayout(&mainWindow);
    std::vector<CPage *> pages;
    for (const PageId id : {PageId::ActiveRead, PageId::IdentifyTab})
        pages.push_back(factory.create(id, services, &mainWindow));
    for (CPage *page : pages) layout->addWidget(page);
    mainWindow.show();
    QApplication::processEvents();

    std::vector<QWidget *> charts;
    for (CPage *page : pages) {
        auto *chartButton = page->findChild<QPushButton *>(QStringLiteral("chartButton"));
        ASSERT_NE(chartButton, nullptr);
        QAccessibleInterface *button = QAccessible::queryAccessibleInterface(chartButton);
        ASSERT_NE(button, nullptr);
        button->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QWidget *chart = nullptr;
        ASSERT_TRUE(pagetest::waitUntil([&] {
            for (QWidget *window : QApplication::topLevelWidgets())
                if (window->isVisible() && window->objectName() == u"chartWindow" &&
                    std::ranges::find(charts, window) == charts.end())
                    chart = window;
            return chart != nullptr;
        }));
        charts.push_back(chart);
    }

    const auto titleBar = [](const QWidget *window) {
        const QRect frame = window->frameGeometry();
        return QRect(frame.topLeft(), QSize(frame.width(), 32));
    };
    for (std::size_t index = 0; index < charts.size(); ++index) {
        const QRect frame = charts[index]->frameGeometry();
        EXPECT_TRUE(screen.contains(frame)) << index;
        EXPECT_FALSE(frame.intersects(titleBar(&mainWindow))) << index;
        for (std::size_t earlier = 0; earlier < index; ++earlier)
            EXPECT_FALSE(frame.intersects(titleBar(charts[earlier]))) << index << " " << earlier;
    }
    for (QWidget *chart : charts) chart->close();
}

}  // namespace
