// The preview box offscreen: what it paints, that a tall picture stays in
// the box, and that the brightness relightens the cached picture without
// reading the file again.
#include "corvane/nv/preview_gui/NvPreviewWidget.h"
#include "platform/testing/bmp_writer.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QtTest>

#include <vector>

using corvane::NvPreviewWidget;
using platform::makeRgb;
using platform::Rgb;

namespace {

const QRgb kWhite = qRgb(255, 255, 255);

// Every pixel of `image` in `area` is `colour`.
bool allOf(const QImage& image, const QRect& area, QRgb colour)
{
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.pixel(x, y) != colour) {
                qWarning("pixel %d,%d is %08x, expected %08x", x, y, image.pixel(x, y), colour);
                return false;
            }
    return true;
}

} // namespace

class NvPreviewWidgetTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

    std::string writeBmp(const QString& name, std::uint32_t w, std::uint32_t h, const std::vector<Rgb>& pixels)
    {
        const std::vector<std::uint8_t> bytes = platform::testing::writeBmp(w, h, pixels, {});
        const QString path = dir_.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return {};
        file.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
        return path.toStdString();
    }
    std::string solid(const QString& name, std::uint32_t w, std::uint32_t h, Rgb colour)
    {
        return writeBmp(name, w, h, std::vector<Rgb>(std::size_t(w) * h, colour));
    }

private slots:
    void initTestCase() { QVERIFY(dir_.isValid()); }

    void noPictureIsWhiteAndOutlined()
    {
        NvPreviewWidget preview;
        QCOMPARE(preview.objectName(), QStringLiteral("preview"));
        preview.resize(120, 80);
        preview.show();
        QVERIFY(QTest::qWaitForWindowExposed(&preview));
        preview.ShowImage("");
        preview.repaint();
        const QImage shown = preview.RenderedImage();
        QCOMPARE(shown.size(), QSize(120, 80));
        QVERIFY(allOf(shown, QRect(1, 1, 118, 78), kWhite));
        QVERIFY(shown.pixel(0, 0) != kWhite);
        QVERIFY(shown.pixel(119, 79) != kWhite);
        QVERIFY(!preview.HasPicture());
        QCOMPARE(preview.loadCount(), 0);
    }

    void pictureAtTopLeftAndWhiteElsewhere()
    {
        // 192 dots are half the paper: half the 200-pixel box, 100 x 50.
        const QRgb colour = qRgb(10, 20, 30);
        const std::string path = solid("half.bmp", 192, 96, makeRgb(10, 20, 30));
        NvPreviewWidget preview;
        preview.resize(200, 100);
        preview.show();
        QVERIFY(QTest::qWaitForWindowExposed(&preview));
        preview.ShowImage(path);
        QVERIFY(preview.HasPicture());
        preview.repaint();
        const QImage shown = preview.RenderedImage();
        QCOMPARE(shown.size(), QSize(200, 100));
        QVERIFY(allOf(shown, QRect(0, 0, 100, 50), colour));
        QVERIFY(allOf(shown, QRect(100, 1, 99, 98), kWhite));
        QVERIFY(allOf(shown, QRect(1, 50, 99, 49), kWhite));
        // What the screen got is what RenderedImage says.
        const QImage grabbed = preview.grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(grabbed.pixel(50, 25), colour);
        QCOMPARE(grabbed.pixel(150, 75), kWhite);
    }

    void tallPictureIsClippedToTheBox()
    {
        // 384 x 2000 previews 120 x 625 in a 120 x 80 box above a green label.
        const std::string path = solid("tall.bmp", 384, 2000, makeRgb(0, 0, 0));
        QWidget window;
        window.resize(120, 200);
        auto* layout = new QVBoxLayout(&window);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        auto* preview = new NvPreviewWidget(&window);
        preview->setFixedHeight(80);
        auto* below = new QLabel(QStringLiteral(" "), &window);
        below->setAutoFillBackground(true);
        QPalette green = below->palette();
        green.setColor(QPalette::Window, QColor(0, 200, 0));
        below->setPalette(green);
        layout->addWidget(preview);
        layout->addWidget(below, 1);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QRect before = preview->geometry();
        const QSize hint = preview->sizeHint();

        preview->ShowImage(path);
        layout->activate();
        QCoreApplication::processEvents();
        QCOMPARE(preview->geometry(), before);
        QCOMPARE(preview->sizeHint(), hint);

        const QImage all = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
        QVERIFY(allOf(all, QRect(0, 0, 120, 80), qRgb(0, 0, 0)));
        QVERIFY(allOf(all, QRect(0, 80, 120, 120), qRgb(0, 200, 0)));
        QCOMPARE(preview->RenderedImage().size(), QSize(120, 80));
    }

    void brightnessRelightensTheCachedPicture()
    {
        const std::string path = solid("grey.bmp", 100, 40, makeRgb(0, 100, 128));
        NvPreviewWidget preview;
        preview.resize(100, 60);
        preview.show();
        QVERIFY(QTest::qWaitForWindowExposed(&preview));
        preview.ShowImage(path);
        preview.repaint();
        QCOMPARE(preview.loadCount(), 1);
        QCOMPARE(preview.RenderedImage().pixel(5, 5), qRgb(0, 100, 128));

        // The file is gone: whatever follows comes from the cache.
        QVERIFY(QFile::remove(QString::fromStdString(path)));
        preview.SetBrightness(50);
        preview.repaint();
        QCOMPARE(preview.RenderedImage().pixel(5, 5), qRgb(127, 227, 255));
        preview.SetBrightness(100);
        preview.repaint();
        QVERIFY(allOf(preview.RenderedImage(), QRect(0, 0, 100, 26), kWhite));
        preview.SetBrightness(0);
        preview.repaint();
        QCOMPARE(preview.RenderedImage().pixel(5, 5), qRgb(0, 100, 128));
        QCOMPARE(preview.loadCount(), 1);
        QVERIFY(preview.HasPicture());
    }

    void newPathOrWidthReloads()
    {
        const std::string red = solid("red.bmp", 384, 192, makeRgb(200, 0, 0));
        const std::string blue = solid("blue.bmp", 384, 192, makeRgb(0, 0, 200));
        NvPreviewWidget preview;
        preview.resize(100, 100);
        preview.show();
        QVERIFY(QTest::qWaitForWindowExposed(&preview));
        preview.ShowImage(red);
        preview.ShowImage(red);
        preview.repaint();
        QCOMPARE(preview.loadCount(), 1);
        QCOMPARE(preview.RenderedImage().pixel(10, 10), qRgb(200, 0, 0));

        preview.ShowImage(blue);
        preview.repaint();
        QCOMPARE(preview.loadCount(), 2);
        QCOMPARE(preview.RenderedImage().pixel(10, 10), qRgb(0, 0, 200));
        QCOMPARE(preview.RenderedImage().pixel(10, 60), kWhite);   // 100 x 50

        // A wider box is a new stretch: 160 x 80. Only the height: none.
        preview.resize(160, 100);
        preview.repaint();
        QCOMPARE(preview.loadCount(), 3);
        QCOMPARE(preview.RenderedImage().pixel(150, 70), qRgb(0, 0, 200));
        QCOMPARE(preview.RenderedImage().pixel(150, 85), kWhite);
        preview.resize(160, 120);
        preview.repaint();
        QCOMPARE(preview.loadCount(), 3);

        // None, then an unloadable file: white, with a reason for the latter.
        preview.ShowImage("");
        preview.repaint();
        QVERIFY(!preview.HasPicture());
        QVERIFY(allOf(preview.RenderedImage(), QRect(1, 1, 158, 118), kWhite));
        preview.ShowImage(dir_.filePath(QStringLiteral("missing.bmp")).toStdString());
        preview.repaint();
        QVERIFY(!preview.HasPicture());
        QVERIFY(!preview.loadError().empty());
        QVERIFY(allOf(preview.RenderedImage(), QRect(1, 1, 158, 118), kWhite));
    }
};

QTEST_MAIN(NvPreviewWidgetTest)
#include "nv_preview_widget_test.moc"
