// The windows on a screen scaled by 2 (QT_SCALE_FACTOR=2, set by CTest): the same layout in
// logical pixels, drawn with twice the device pixels, no caption cut off, and an icon drawn
// for the resolution rather than blown up.

#include "support/MainWindowFixture.h"
#include "windows/login/frmLogin.h"

#include <QImageReader>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <cmath>

using namespace quillbox;

namespace {

int px(int twips) {
    return static_cast<int>(std::lround(twips / 15.0));
}

// The width a label's text may take: up to its right edge, or to a sibling lying over it
// further right (the small buttons sit at the ends of some labels).
int clearWidth(const QLabel* label) {
    int width = label->contentsRect().width();
    const QRect band = label->geometry();
    for (const QWidget* w :
         label->parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (w == label || qobject_cast<const QLabel*>(w) || !w->isVisibleTo(label->window()))
            continue;
        const QRect r = w->geometry();
        if (r.intersects(band) && r.left() > band.left())
            width = std::min(width, r.left() - band.left());
    }
    return width;
}

} // namespace

class TestHighDpi : public QObject, public test::MainWindowFixture {
    Q_OBJECT

    std::unique_ptr<windows::frmLogin> login_;

    QWidget* open(const QString& which) {
        if (which == QLatin1String("main")) {
            load();
            return window_.get();
        }
        file_->exec(QStringLiteral("UPDATE Player SET WantPassword = 1"));
        login_ = std::make_unique<windows::frmLogin>(fakes_->services);
        fakes_->errors.guard([this] { login_->Form_Load(); });
        if (!QTest::qWaitForWindowExposed(login_.get()))
            return nullptr;
        return login_.get();
    }

    static void windows_data() {
        QTest::addColumn<QString>("window");
        QTest::newRow("login") << "login";
        QTest::newRow("main") << "main";
    }

private slots:
    void initTestCase() {
        QVERIFY2(qgetenv("QT_SCALE_FACTOR") == "2", "run with QT_SCALE_FACTOR=2, as CTest does");
    }
    void init() { setUp(); }
    void cleanup() {
        login_.reset();
        tearDown();
    }

    void layout_data() {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("object");
        QTest::addColumn<QRect>("twips");
        auto row = [](const char* window, const char* object, int l, int t, int w, int h) {
            QTest::addRow("%s %s", window, object) << window << object << QRect(l, t, w, h);
        };
        row("login", "lblLabels", 120, 240, 840, 270);
        row("login", "txtPassword", 1050, 120, 2325, 345);
        row("login", "cmdOK", 360, 720, 1140, 390);
        row("login", "cmdCancel", 1920, 720, 1140, 390);
        row("main", "cmdNew", 720, 120, 975, 375);
        row("main", "Label1", 120, 600, 1695, 255);
        row("main", "txtName", 120, 840, 2415, 375);
        row("main", "Label3", 120, 1320, 1335, 255);
        row("main", "txtEmail", 120, 1560, 2415, 375);
        row("main", "Label5", 120, 2040, 1575, 255);
        row("main", "txtPhone", 120, 2280, 2415, 375);
        row("main", "Label7", 120, 2760, 1095, 255);
        row("main", "txtAddress", 120, 3000, 2415, 1095);
        row("main", "cmdClear1", 720, 4200, 1212, 372);
        row("main", "cmdUpdate", 3720, 120, 975, 375);
        row("main", "Label2", 2760, 600, 1695, 255);
        row("main", "txtUpdateName", 2760, 840, 3015, 375);
        row("main", "Label4", 2760, 1320, 1095, 255);
        row("main", "cmdCopyEmail", 3960, 1320, 495, 255);
        row("main", "cmdSend", 4560, 1320, 495, 255);
        row("main", "cmdAddToList", 5160, 1320, 495, 255);
        row("main", "txtUpdateEmail", 2760, 1560, 3015, 375);
        row("main", "Label6", 2760, 2040, 1455, 255);
        row("main", "cmdCopyPhone", 3960, 2040, 495, 255);
        row("main", "txtUpdatePhone", 2760, 2280, 3015, 375);
        row("main", "Label8", 2760, 2760, 1215, 255);
        row("main", "cmdCopyAddress", 3960, 2760, 495, 255);
        row("main", "txtUpdateAddress", 2760, 3000, 3015, 1095);
        row("main", "cmdClear", 3600, 4200, 1332, 372);
        row("main", "Label9", 6120, 120, 1575, 615);
        row("main", "lstRecords", 5880, 840, 2055, 3180);
        row("main", "cmdDelete", 5880, 4200, 1092, 375);
        row("main", "Command1", 7080, 4200, 852, 375);
        row("main", "txtEmailList", 120, 4920, 3135, 735);
        row("main", "cmdSendList", 3720, 5160, 735, 375);
        row("main", "cmdClearEmailList", 4680, 5160, 735, 375);
        row("main", "cmdAddAll", 5640, 5160, 1335, 375);
        row("main", "cmdDone", 7200, 5160, 735, 375);
        row("main", "imgIcon", 2760, 0, 615, 495);
    }
    void layout() {
        QFETCH(QString, window);
        QFETCH(QString, object);
        QFETCH(QRect, twips);
        QWidget* w = open(window);
        QVERIFY(w);
        auto* control = w->findChild<QWidget*>(object);
        QVERIFY(control);
        QCOMPARE(control->geometry(),
                 QRect(px(twips.x()), px(twips.y()), px(twips.width()), px(twips.height())));
        QCOMPARE(control->devicePixelRatio(), 2.0);
    }

    void windowSize_data() { windows_data(); }
    void windowSize() {
        QFETCH(QString, window);
        QWidget* w = open(window);
        QVERIFY(w);
        QCOMPARE(w->windowHandle()->devicePixelRatio(), 2.0);
        const QSize logical =
            window == QLatin1String("main") ? QSize(536, 312) : QSize(px(3525), px(1290));
        const QWidget* client = window == QLatin1String("main") ? window_->centralWidget() : w;
        QCOMPARE(client->size(), logical);
        // What is drawn has twice the pixels each way.
        const QPixmap shot = w->grab();
        QCOMPARE(shot.devicePixelRatio(), 2.0);
        QCOMPARE(shot.size(), w->size() * 2);
    }

    void captionsFit_data() { windows_data(); }
    void captionsFit() {
        QFETCH(QString, window);
        QWidget* w = open(window);
        QVERIFY(w);
        int checked = 0;
        for (const QLabel* label : w->findChildren<QLabel*>()) {
            const QString text = label->text().remove(QLatin1Char('&'));
            if (text.isEmpty())
                continue;
            ++checked;
            const QFontMetrics fm = label->fontMetrics();
            if (label->wordWrap()) {
                const QRect room = label->contentsRect();
                const QRect needed =
                    fm.boundingRect(room, Qt::TextWordWrap | label->alignment(), text);
                QVERIFY2(needed.height() <= room.height() && needed.width() <= room.width(),
                         qPrintable(label->objectName()));
            } else {
                QVERIFY2(fm.horizontalAdvance(text) <= clearWidth(label),
                         qPrintable(QStringLiteral("%1: %2 > %3")
                                        .arg(label->objectName())
                                        .arg(fm.horizontalAdvance(text))
                                        .arg(clearWidth(label))));
            }
        }
        for (const QPushButton* button : w->findChildren<QPushButton*>()) {
            ++checked;
            QVERIFY2(button->fontMetrics().horizontalAdvance(button->text()) <= button->width(),
                     qPrintable(button->objectName()));
        }
        QVERIFY(checked >= 3);
    }

    // 32 logical pixels at a ratio of 2 are 64 device pixels: drawn from the SVG, not the
    // 32-pixel bitmap doubled.
    void iconIsSharp_data() { windows_data(); }
    void iconIsSharp() {
        QFETCH(QString, window);
        QVERIFY2(QImageReader::supportedImageFormats().contains("svg"),
                 "Qt's SVG image plugin is missing: install libqt6svg6 (tools/deps.sh does)");
        QWidget* w = open(window);
        QVERIFY(w);
        const QIcon icon = w->windowIcon();
        const QPixmap big = icon.pixmap(QSize(32, 32), 2.0);
        QCOMPARE(big.devicePixelRatio(), 2.0);
        QCOMPARE(big.size(), QSize(64, 64));
        const QImage sharp = big.toImage().convertToFormat(QImage::Format_ARGB32);
        const QImage small =
            icon.pixmap(QSize(32, 32), 1.0).toImage().convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(small.size(), QSize(32, 32));
        for (Qt::TransformationMode mode : {Qt::FastTransformation, Qt::SmoothTransformation})
            QVERIFY(sharp != small.scaled(64, 64, Qt::IgnoreAspectRatio, mode));
        // Doubling repeats each pixel in a 2x2 block; a drawing at 64 has edges inside blocks.
        bool blocky = true;
        for (int y = 0; y < 64 && blocky; y += 2)
            for (int x = 0; x < 64 && blocky; x += 2)
                blocky = sharp.pixel(x, y) == sharp.pixel(x + 1, y) &&
                         sharp.pixel(x, y) == sharp.pixel(x, y + 1) &&
                         sharp.pixel(x, y) == sharp.pixel(x + 1, y + 1);
        QVERIFY2(!blocky, "the 64-pixel icon is the 32-pixel one doubled");
    }
};

QTEST_MAIN(TestHighDpi)
#include "tst_highdpi.moc"
