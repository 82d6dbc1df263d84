// The NV Image Manager through the real main window, offscreen, against
// printer-sim on a pseudo-terminal, for a key-code and an indexed printer:
// what the simulator stores equals what corvane-cli's nv convert writes for
// the same files, and the list survives closing the manager.
#include "corvane/nv/NvImageList.h"
#include "corvane/nv/gui/CNVDlg.h"
#include "corvane/nv/gui/CNvAddrDlg.h"
#include "corvane/nv/gui/CNvProDlg.h"
#include "corvane/nv/gui/NvDialogIds.h"
#include "corvane/shell/CZ400TCUtilityDlg.h"
#include "corvane/shell/MainDialogIds.h"
#include "platform/qt/ControlIds.h"
#include "platform/qt/RecordingPrompter.h"
#include "platform/testing/bmp_writer.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QProgressBar>
#include <QScopeGuard>
#include <QPushButton>
#include <QSlider>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <deque>
#include <functional>
#include <utility>
#include <vector>
#include <memory>

using namespace corvane;
using platform::qt::testing::RecordingPrompter;

namespace {

// printer-sim on a pseudo-terminal, its report read back as key: value lines.
class Simulator {
public:
    Simulator(const QString& dir, const QStringList& args) : report_(dir + "/report")
    {
        process_.setProgram(QStringLiteral(PRINTER_SIM_PATH));
        process_.setArguments(QStringList{"--pty", "--report", report_, "--capture", dir + "/capture"} + args);
        process_.start();
        if (process_.waitForReadyRead(10000))
            port_ = QString::fromUtf8(process_.readLine()).trimmed();
    }
    ~Simulator() { stop(); }
    void stop()
    {
        if (process_.state() == QProcess::NotRunning)
            return;
        process_.terminate();
        if (!process_.waitForFinished(5000))
            process_.kill();
    }
    const QString& port() const { return port_; }

    // The report, in its own order, once the simulator has taken
    // everything sent.
    std::vector<std::pair<QString, QString>> report() const
    {
        QTest::qWait(300);
        QFile file(report_);
        std::vector<std::pair<QString, QString>> out;
        if (!file.open(QIODevice::ReadOnly))
            return out;
        for (const QByteArray& line : file.readAll().split('\n')) {
            const qsizetype at = line.indexOf(": ");
            if (at > 0)
                out.emplace_back(QString::fromUtf8(line.left(at)), QString::fromUtf8(line.mid(at + 2)));
        }
        return out;
    }
    // "LABEL WxH crc" per stored image, in the report's order.
    QStringList images() const
    {
        QStringList out;
        for (const auto& [key, value] : report())
            if (key.startsWith(QStringLiteral("nv.image.")))
                out << key.mid(9) + QLatin1Char(' ') + value.section(QLatin1Char(' '), 0, 0) + QLatin1Char(' ')
                           + value.section(QLatin1Char(' '), 2, 2);
        return out;
    }
    int prints() const
    {
        for (const auto& [key, value] : report())
            if (key == QStringLiteral("nv.prints"))
                return value.toInt();
        return -1;
    }

private:
    QProcess process_;
    QString report_;
    QString port_;
};

// "WxH crc" of every image in a command file (key-code: "KEY WxH crc").
QStringList imagesOfCommandFile(const QByteArray& data, bool indexed)
{
    QStringList out;
    auto u16 = [&](qsizetype at) { return unsigned(quint8(data[at])) | (unsigned(quint8(data[at + 1])) << 8); };
    auto crc = [&](qsizetype at, qsizetype n) {
        return QString::asprintf("%08lx", crc32(0, reinterpret_cast<const Bytef*>(data.constData() + at), uInt(n)));
    };
    if (indexed) {
        qsizetype pos = 9;
        int index = 0;
        while (pos + 6 <= data.size()) {
            const unsigned w = u16(pos + 1), h = u16(pos + 3);
            const qsizetype n = qsizetype((w + 7) / 8) * h;
            out << QStringLiteral("%1 %2x%3 %4").arg(index++).arg(w).arg(h).arg(crc(pos + 6, n));
            pos += 6 + n;
        }
    } else {
        qsizetype pos = 0;
        while (pos + 16 <= data.size()) {
            const qsizetype total = qsizetype(u16(pos + 3)) + 5;
            const QString key = QString::fromLatin1(data.mid(pos + 8, 2));
            out << QStringLiteral("%1 %2x%3 %4").arg(key).arg(u16(pos + 11)).arg(u16(pos + 13)).arg(crc(pos + 16, total - 16));
            pos += total;
        }
    }
    return out;
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A logo-like picture: dark bars and a light frame, so shrinking and
// lightening both change the dots.
void writeLogo(const QString& path, std::uint32_t w, std::uint32_t h)
{
    std::vector<platform::Rgb> pixels(std::size_t(w) * h);
    for (std::uint32_t y = 0; y < h; ++y)
        for (std::uint32_t x = 0; x < w; ++x)
            pixels[std::size_t(y) * w + x] = ((x / 7 + y / 5) % 3 == 0) ? 0x202020u : ((x + y) % 11 ? 0xF0F0F0u : 0x808080u);
    const auto bytes = platform::testing::writeBmp(w, h, pixels, {});
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
}

template <typename T>
T* control(QWidget* root, int id)
{
    return qobject_cast<T*>(platform::qt::FindControl(root, id));
}

} // namespace

class CorvaneNvGuiTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<platform::RegistryStore> store_;
    std::unique_ptr<RecordingPrompter> prompter_;
    // Typed into the address dialog, one per time it opens.
    std::deque<QString> addresses_;
    QStringList addressDialogsSeen_;   // the messages recorded while each was open
    bool managerSeen_ = false;
    bool grabProgress_ = false;
    bool grabAddress_ = false;

    QString path(const QString& name) const { return dir_->filePath(name); }

    ShellServices services()
    {
        return ShellServices{*store_, *prompter_, platform::systemClock(), platform::systemDevices()};
    }

    void grab(QWidget* w, const QString& name)
    {
        QDir().mkpath(QStringLiteral(CORVANE_SCREENSHOT_DIR));
        w->grab().save(QStringLiteral(CORVANE_SCREENSHOT_DIR) + QLatin1Char('/') + name);
    }

    // Presses "NV Image Manager"; `onManager` acts on the manager once it
    // is up (it must close it). Modal windows on top of it (the address
    // dialog, progress windows) are answered or photographed meanwhile.
    void runManager(const Simulator& sim, const std::function<void(CNVDlg&)>& onManager)
    {
        QVERIFY(!sim.port().isEmpty());
        CZ400TCUtilityDlg main(services());
        main.PreselectConnection(sim.port(), 0);
        auto* button = control<QPushButton>(&main, main_id::kNvImageManager);
        QVERIFY(button && button->isEnabled());
        managerSeen_ = false;
        // Two timers: a timer does not fire again while its own handler
        // runs, and the manager's handler runs the nested windows.
        QTimer helper;
        helper.setInterval(20);
        connect(&helper, &QTimer::timeout, this, [&] {
            QWidget* top = QApplication::activeModalWidget();
            if (!top || !top->isVisible())
                return;
            if (auto* ask = qobject_cast<CNvAddrDlg*>(top)) {
                if (grabAddress_) {
                    grabAddress_ = false;
                    grab(ask, QStringLiteral("nv-address-dialog.png"));
                }
                auto* edit = control<QLineEdit>(ask, nv_id::kAddressEdit);
                QVERIFY(edit);
                if (addresses_.empty()) {
                    ask->reject();
                    return;
                }
                edit->setText(addresses_.front());
                addresses_.pop_front();
                ask->accept();
                return;
            }
            if (auto* progress = qobject_cast<CNvProDlg*>(top)) {
                auto* bar = control<QProgressBar>(progress, nv_id::kProgress);
                if (grabProgress_ && bar && bar->value() >= 30) {
                    grabProgress_ = false;
                    grab(progress, QStringLiteral("nv-progress-dialog.png"));
                }
                return;
            }
        });
        helper.start();
        QTimer watch;
        watch.setInterval(20);
        connect(&watch, &QTimer::timeout, this, [&] {
            auto* manager = qobject_cast<CNVDlg*>(QApplication::activeModalWidget());
            if (!manager || !manager->isVisible() || managerSeen_)
                return;
            managerSeen_ = true;
            onManager(*manager);
            if (manager->isVisible())
                manager->reject();
        });
        watch.start();
        QTimer::singleShot(0, button, &QPushButton::click);
        QTimer bail;
        bail.setSingleShot(true);
        connect(&bail, &QTimer::timeout, this, [] {
            while (QWidget* w = QApplication::activeModalWidget())
                w->close();
        });
        bail.start(120000);
        QTest::qWait(0);
        QTRY_VERIFY_WITH_TIMEOUT((managerSeen_ || !prompter_->messages.isEmpty()) && !QApplication::activeModalWidget(),
                                 125000);
        QTest::qWait(50);
    }

    QStringList texts() const
    {
        QStringList out;
        for (const auto& m : prompter_->messages)
            out << m.text;
        return out;
    }

    static QStringList listBox(CNVDlg& dlg)
    {
        QStringList out;
        auto* box = control<QListWidget>(&dlg, nv_id::kAddressList);
        for (int i = 0; box && i < box->count(); ++i)
            out << box->item(i)->text();
        return out;
    }

    // corvane-cli nv convert on the same files: the reference command file.
    QByteArray convert(const QStringList& args)
    {
        QProcess cli;
        const QString out = path(QStringLiteral("reference.prn"));
        QFile::remove(out);
        cli.start(QStringLiteral(CORVANE_CLI_PATH), QStringList{"nv", "convert", "--out", out} + args);
        if (!cli.waitForFinished(60000) || cli.exitCode() != 0)
            qWarning() << cli.readAllStandardError();
        return readAll(out);
    }

    void addThreeAndOneUnloadable(CNVDlg& dlg)
    {
        prompter_->fileListAnswers.append(
            {path("shop.bmp"), path("broken.bmp"), path("footer.bmp"), path("a,b/stamp.bmp")});
        dlg.OnAddImage();
    }

    void setBrightness(CNVDlg& dlg, int row, int value)
    {
        auto* table = control<QTableWidget>(&dlg, nv_id::kImageList);
        auto* slider = control<QSlider>(&dlg, nv_id::kSlider);
        QVERIFY(table && slider);
        table->setCurrentCell(row, 1);
        QCOMPARE(dlg.SelectedNumber(), row + 1);
        slider->setValue(value);
    }

private slots:
    void init()
    {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        qputenv("QUELLIX_REGISTRY", QFile::encodeName(path(QStringLiteral("registry.reg"))));
        store_ = std::make_unique<platform::RegistryStore>();
        prompter_ = std::make_unique<RecordingPrompter>();
        writeLogo(path("shop.bmp"), 500, 60);
        writeLogo(path("footer.bmp"), 120, 17);
        QDir().mkpath(path("a,b"));
        writeLogo(path("a,b/stamp.bmp"), 64, 64);
        QFile broken(path("broken.bmp"));
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write("BM this is no bitmap");
        addresses_.clear();
    }

    void cleanup()
    {
        store_.reset();
        prompter_.reset();
        dir_.reset();
    }

    void keyCodePrinterRoundTrip()
    {
        // The printer holds "12" already: automatic keys go around it.
        Simulator sim(dir_->path(), {"--model", "KMP-Z400", "--version", "_VER V1.04", "--nv-key", "12=8x1",
                                     "--nv-keys-per-block", "2"});
        const QString prn = path("saved.prn");
        runManager(sim, [&](CNVDlg& dlg) {
            QCOMPARE(listBox(dlg), QStringList{"12"});
            addThreeAndOneUnloadable(dlg);
            QCOMPARE(texts(), QStringList{"Failed to load image file!"});
            QCOMPARE(prompter_->messages[0].caption, QStringLiteral("NV Image Manager"));
            auto* table = control<QTableWidget>(&dlg, nv_id::kImageList);
            QCOMPARE(table->rowCount(), 3);
            // Estimates: 384/8 x 60, 120/8 x 17, 64/8 x 64.
            QCOMPARE(table->item(0, 2)->text(), QStringLiteral("2880 Bytes"));
            QCOMPARE(table->item(1, 1)->text(), QStringLiteral("footer.bmp"));
            QCOMPARE(table->item(2, 0)->text(), QStringLiteral("3"));
            QCOMPARE(dlg.InfoText(), QStringLiteral("<Images: 3/1 - Memory: 3647/262144 (Byte)>"));
            QCOMPARE(control<QLabel>(&dlg, nv_id::kInfo)->text(), dlg.InfoText());
            setBrightness(dlg, 0, 20);
            setBrightness(dlg, 2, 60);
            table->setCurrentCell(0, 1);
            grab(&dlg, QStringLiteral("nv-manager.png"));

            control<QCheckBox>(&dlg, nv_id::kAutoAddressing)->setChecked(true);
            prompter_->fileAnswers.append(prn.left(prn.size() - 4));   // typed without ".prn"
            dlg.OnSaveAs();
            QCOMPARE(texts().last(), QStringLiteral("Saving print files are finished."));

            prompter_->messages.clear();
            grabProgress_ = true;
            dlg.OnDownload();
            QVERIFY(prompter_->messages.isEmpty());
            QCOMPARE(listBox(dlg), (QStringList{"12", "10", "11", "13"}));
            QCOMPARE(dlg.InfoText(), QStringLiteral("<Images: 3/4 - Memory: 3647/262144 (Byte)>"));

            // Typed keys: one the printer holds, then the same key twice in one download.
            control<QCheckBox>(&dlg, nv_id::kAutoAddressing)->setChecked(false);
            setBrightness(dlg, 1, 0);
            table->selectRow(0);
            prompter_->questionAnswers.append(true);
            dlg.OnRemoveImages();   // leaves footer and stamp
            QCOMPARE(dlg.SelectedNumber(), -1);
            QCOMPARE(table->rowCount(), 2);
            addresses_ = {"10", "XY", "XY", "XZ"};
            grabAddress_ = true;
            dlg.OnDownload();
            QCOMPARE(texts(), (QStringList{"Do you want to remove all of selection?", "Exists address!",
                                           "Exists address!"}));
            QCOMPARE(listBox(dlg), (QStringList{"12", "10", "11", "13", "XY", "XZ"}));

            // Print one, print all, remove one, remove all.
            prompter_->messages.clear();
            dlg.OnPrint();
            QCOMPARE(texts(), QStringList{"Please select address!"});
            auto* box = control<QListWidget>(&dlg, nv_id::kAddressList);
            box->setCurrentRow(4);
            dlg.OnPrint();
            QCOMPARE(sim.prints(), 1);
            dlg.OnPrintAll();
            QCOMPARE(sim.prints(), 7);
            box->setCurrentRow(0);
            dlg.OnRemoveStored();
            QCOMPARE(listBox(dlg), (QStringList{"10", "11", "13", "XY", "XZ"}));
            QCOMPARE(texts(), QStringList{"Please select address!"});
            dlg.OnExit();
        });
        QVERIFY(managerSeen_);

        // The stored rasters are what nv convert makes of the same files.
        const QByteArray reference =
            convert({"--key", "10", "--key", "11", "--key", "13", "--brightness", "20", "--brightness", "0",
                     "--brightness", "60", path("shop.bmp"), path("footer.bmp"), path("a,b/stamp.bmp")});
        QVERIFY(!reference.isEmpty());
        QCOMPARE(readAll(prn), reference);
        const QStringList expected = imagesOfCommandFile(reference, false);
        QStringList stored = sim.images();
        QCOMPARE(stored.mid(0, 3), expected);
        const QByteArray typed = convert({"--key", "XY", "--key", "XZ", "--brightness", "0", "--brightness", "60",
                                          path("footer.bmp"), path("a,b/stamp.bmp")});
        QCOMPARE(stored.mid(3), imagesOfCommandFile(typed, false));

        // Reopened: the list as it was closed, brightness included; then
        // Remove All empties the printer.
        std::uint32_t count = 0;
        QVERIFY(store_->readNumber("Software\\Quellix\\Corvane\\NV", "Count", count));
        QCOMPARE(count, 6u);   // Print All counted the six keys the box listed
        prompter_->messages.clear();
        runManager(sim, [&](CNVDlg& dlg) {
            auto* table = control<QTableWidget>(&dlg, nv_id::kImageList);
            QCOMPARE(table->rowCount(), 2);
            QCOMPARE(table->item(1, 1)->text(), QStringLiteral("stamp.bmp"));
            table->setCurrentCell(1, 0);
            QCOMPARE(control<QSlider>(&dlg, nv_id::kSlider)->value(), 60);
            dlg.OnRemoveAll();
            QCOMPARE(listBox(dlg), QStringList());
            dlg.OnExit();
        });
        QVERIFY(prompter_->messages.isEmpty());
        QCOMPARE(sim.images(), QStringList());
        QCOMPARE(ReadStoredImageTexts(*store_),
                 (std::vector<std::string>{path("footer.bmp").toStdString() + ",000",
                                           path("a,b/stamp.bmp").toStdString() + ",060"}));
    }

    void indexedPrinterRoundTrip()
    {
        Simulator sim(dir_->path(), {"--model", "KMP-Z400", "--version", "_B01.00", "--nv-image", "8x1"});
        QVERIFY(store_->writeNumber("Software\\Quellix\\Corvane\\NV", "Count", 1));
        const QString prn = path("indexed.prn");
        runManager(sim, [&](CNVDlg& dlg) {
            QCOMPARE(listBox(dlg), QStringList{"00"});
            QVERIFY(!control<QCheckBox>(&dlg, nv_id::kAutoAddressing)->isEnabled());
            QVERIFY(!control<QPushButton>(&dlg, nv_id::kRefresh)->isEnabled());
            QVERIFY(!control<QPushButton>(&dlg, nv_id::kRemoveStored)->isEnabled());
            addThreeAndOneUnloadable(dlg);
            setBrightness(dlg, 1, 35);
            prompter_->fileAnswers.append(prn);
            dlg.OnSaveAs();
            dlg.OnDownload();   // never asks for an address
            QCOMPARE(texts(), (QStringList{"Failed to load image file!", "Saving print files are finished."}));
            QCOMPARE(listBox(dlg), (QStringList{"00", "01", "02"}));
            auto* box = control<QListWidget>(&dlg, nv_id::kAddressList);
            box->setCurrentRow(2);
            dlg.OnPrint();
            dlg.OnPrintAll();
            QCOMPARE(sim.prints(), 4);
            dlg.OnRemoveAll();
            QCOMPARE(listBox(dlg), QStringList());
            dlg.OnExit();
        });
        QVERIFY(managerSeen_);
        const QByteArray reference =
            convert({"--family", "indexed", "--brightness", "0", "--brightness", "35", "--brightness", "0",
                     path("shop.bmp"), path("footer.bmp"), path("a,b/stamp.bmp")});
        QVERIFY(!reference.isEmpty());
        QCOMPARE(readAll(prn), reference);
        std::uint32_t count = 9;
        QVERIFY(store_->readNumber("Software\\Quellix\\Corvane\\NV", "Count", count));
        QCOMPARE(count, 0u);
        QCOMPARE(sim.images(), QStringList());
    }

    void indexedDownloadStoresWhatConvertMakes()
    {
        Simulator sim(dir_->path(), {"--model", "KMP-Z400", "--version", "_B01.00"});
        runManager(sim, [&](CNVDlg& dlg) {
            addThreeAndOneUnloadable(dlg);
            setBrightness(dlg, 0, 50);
            dlg.OnDownload();
            dlg.OnExit();
        });
        const QByteArray reference =
            convert({"--family", "indexed", "--brightness", "50", "--brightness", "0", "--brightness", "0",
                     path("shop.bmp"), path("footer.bmp"), path("a,b/stamp.bmp")});
        QCOMPARE(sim.images(), imagesOfCommandFile(reference, true));
    }

    void aFailedRefreshEmptiesTheListBox()
    {
        int holdPty = -1;
        const auto release = qScopeGuard([&] {
            if (holdPty >= 0)
                ::close(holdPty);
        });
        auto sim = std::make_unique<Simulator>(dir_->path(), QStringList{"--version", "_VER V1.04", "--nv-key",
                                                                         "10=8x1", "--nv-key", "11=8x1"});
        runManager(*sim, [&](CNVDlg& dlg) {
            QCOMPARE(listBox(dlg), (QStringList{"10", "11"}));
            // Held open, the stopped simulator's pseudo-terminal keeps its
            // number: otherwise a test running beside this one may get the
            // same /dev/pts path, and the manager would open and write to it.
            holdPty = ::open(sim->port().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
            QVERIFY(holdPty >= 0);
            sim->stop();
            dlg.OnRefresh();
            QCOMPARE(listBox(dlg), QStringList());
            QVERIFY(dlg.InfoText().contains(QStringLiteral("Images: 0/0")));
            // Nothing stale left for Print All to count.
            dlg.OnPrintAll();
            dlg.OnExit();
        });
        // The refresh failed, and Print All had no stale keys to send: the
        // printer's line is gone, so its job ends at the port.
        QCOMPARE(texts(), (QStringList{"Failed to read NV image address!", "Port open error!"}));
    }

    // --- the manager on its own, its jobs recorded instead of run ---

    void removingRowsOneAndThreeRemovesExactlyThoseImages()
    {
        CCommonUtil util;
        CCommonNv nv(util);
        for (int i = 0; i < 5; ++i)
            writeLogo(path(QStringLiteral("img%1.bmp").arg(i + 1)), 8, 8);
        CNVDlg dlg(nv, *store_, *prompter_);
        QStringList files;
        for (int i = 0; i < 5; ++i)
            files << path(QStringLiteral("img%1.bmp").arg(i + 1));
        prompter_->fileListAnswers.append(files);
        dlg.OnAddImage();
        auto* table = control<QTableWidget>(&dlg, nv_id::kImageList);
        QCOMPARE(table->rowCount(), 5);
        // The current row (what the slider edits) is row 4; the selection is rows 1 and 3.
        table->setCurrentCell(4, 0);
        table->clearSelection();
        table->selectionModel()->select(table->model()->index(0, 0),
                                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
        table->selectionModel()->select(table->model()->index(2, 0),
                                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
        prompter_->questionAnswers.append(true);
        dlg.OnRemoveImages();
        QStringList names;
        for (const NvImage& image : nv.images)
            names << QString::fromStdString(image.name) + QLatin1Char('#') + QString::number(image.number);
        QCOMPARE(names, (QStringList{"img2.bmp#1", "img4.bmp#2", "img5.bmp#3"}));
        // Nothing is selected afterwards: a slider move changes no image.
        QCOMPARE(dlg.SelectedNumber(), -1);
        control<QSlider>(&dlg, nv_id::kSlider)->setValue(77);
        for (const NvImage& image : nv.images)
            QCOMPARE(image.brightness, 0);
        // And with nothing selected Remove says so.
        dlg.OnRemoveImages();
        QCOMPARE(prompter_->messages.last().text, QStringLiteral("Without a BMP file being selected."));
        dlg.reject();
    }

    void cancelledAddressesSendAndWriteNothing()
    {
        CCommonUtil util;
        CCommonNv nv(util);
        nv.addresses = {"10"};
        writeLogo(path("one.bmp"), 8, 8);
        CNVDlg dlg(nv, *store_, *prompter_);
        QList<int> jobs;
        dlg.SetJobRunner([&](int job, const std::string&, int) {
            jobs << job;
            return platform::JobResult{platform::JobEnd::Ok, {}, 0};
        });
        QList<std::vector<std::string>> asked;
        dlg.SetAddressAsker([&](const std::vector<std::string>& existing) -> std::optional<std::string> {
            asked << existing;
            return std::nullopt;
        });
        prompter_->fileListAnswers.append({path("one.bmp")});
        dlg.OnAddImage();
        dlg.OnDownload();
        QCOMPARE(jobs, QList<int>{});
        QCOMPARE(asked.size(), 1);
        QCOMPARE(asked[0], std::vector<std::string>{"10"});
        QCOMPARE(prompter_->messages.last().text, QStringLiteral("Cancel to download image."));
        const QString prn = path("never.prn");
        prompter_->fileAnswers.append(prn);
        dlg.OnSaveAs();
        QVERIFY(!QFile::exists(prn));
        QCOMPARE(asked.last(), std::vector<std::string>{});   // a file's keys are checked among themselves
        dlg.reject();
    }

    void automaticAddressingStopsWhenNoKeyIsLeft()
    {
        CCommonUtil util;
        CCommonNv nv(util);
        for (int first = '1'; first <= '~'; ++first)
            for (int second = '0'; second <= '9'; ++second)
                nv.addresses.push_back(std::string{char(first), char(second)});
        writeLogo(path("one.bmp"), 8, 8);
        CNVDlg dlg(nv, *store_, *prompter_);
        QList<int> jobs;
        dlg.SetJobRunner([&](int job, const std::string&, int) {
            jobs << job;
            return platform::JobResult{platform::JobEnd::Ok, {}, 0};
        });
        prompter_->fileListAnswers.append({path("one.bmp")});
        dlg.OnAddImage();
        control<QCheckBox>(&dlg, nv_id::kAutoAddressing)->setChecked(true);
        dlg.OnDownload();
        QCOMPARE(jobs, QList<int>{});
        QCOMPARE(prompter_->messages.last().text, QStringLiteral("No free address is left for automatic addressing!"));
        dlg.reject();
    }

    void aCommandFileThatCannotBeWrittenLeavesTheOldOne()
    {
        CCommonUtil util;
        CCommonNv nv(util);
        writeLogo(path("one.bmp"), 8, 8);
        const QString prn = path("old.prn");
        {
            QFile old(prn);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("old contents");
        }
        CNVDlg dlg(nv, *store_, *prompter_);
        prompter_->fileListAnswers.append({path("one.bmp")});
        dlg.OnAddImage();
        control<QCheckBox>(&dlg, nv_id::kAutoAddressing)->setChecked(true);
        prompter_->fileAnswers.append(path("no-such-folder/new.prn"));
        dlg.OnSaveAs();
        QCOMPARE(prompter_->messages.last().text, QStringLiteral("Failed to save print file!"));
        QVERIFY(prompter_->messages.last().details.contains(QStringLiteral("no-such-folder")));
        QCOMPARE(prompter_->messages.last().caption, QStringLiteral("NV Image Manager"));
        // The file the bitmap changed under is refused before anything is built.
        writeLogo(path("one.bmp"), 1, 1);
        QFile::resize(path("one.bmp"), 20);
        prompter_->fileAnswers.append(prn);
        dlg.OnSaveAs();
        QCOMPARE(prompter_->messages.last().text, QStringLiteral("Failed to load image file!"));
        QCOMPARE(readAll(prn), QByteArray("old contents"));
        dlg.reject();
    }

    void anUnwritableListIsReportedOnClose()
    {
        CCommonUtil util;
        CCommonNv nv(util);
        auto dlg = std::make_unique<CNVDlg>(nv, *store_, *prompter_);
        platform::RegistryStore::setBeforeReplaceHook([](const std::string& temporary) { QFile::remove(QString::fromStdString(temporary)); });
        dlg->OnExit();
        platform::RegistryStore::setBeforeReplaceHook(nullptr);
        QVERIFY(!dlg->ListSaved());
        QCOMPARE(prompter_->messages.last().text, QStringLiteral("Failed to save the image list!"));
        QVERIFY(prompter_->messages.last().details.contains(QStringLiteral("registry.reg")));
    }

    void aPrinterThatDoesNotAnswerKeepsTheManagerClosed()
    {
        Simulator sim(dir_->path(), {"--silent"});
        runManager(sim, [](CNVDlg&) {});
        QVERIFY(!managerSeen_);
        QCOMPARE(prompter_->messages.size(), 1);
        QCOMPARE(prompter_->messages[0].caption, QStringLiteral("Corvane"));
        QCOMPARE(prompter_->messages[0].text, QStringLiteral("Printer model is not matched!"));
    }
};

QTEST_MAIN(CorvaneNvGuiTest)
#include "corvane_nv_gui_test.moc"
