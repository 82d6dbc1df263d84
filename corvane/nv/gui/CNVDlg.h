// The NV Image Manager window: the list of bitmaps the user prepares (with a
// brightness each and a live preview), the images the printer holds, and the
// buttons that download, save, print and delete them.
//
// Every printer job runs in its own progress window (CNvProDlg); this window
// never talks to the port itself. The image list is restored from the
// registry when the window opens and written back, in one replace, when it
// closes.
//
// After every job the address list box and the info line are refilled from
// the addresses the job left, whether it succeeded or not, so the box never
// shows keys the printer may no longer hold.
//
// Object names and control ids (NvDialogIds.h) name the controls for tests.
#pragma once

#include "corvane/nv/CCommonNv.h"
#include "platform/clock.h"
#include "platform/job.h"
#include "platform/qt/Prompter.h"
#include "platform/registry_store.h"

#include <QDialog>
#include <QString>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;
class QSlider;
class QTableWidget;

namespace corvane {

class NvPreviewWidget;

namespace nv_text {
inline constexpr const char* kImageFilter = "Image Files(*.bmp)";
inline constexpr const char* kPrintFileFilter = "Print Files(*.prn)";
inline constexpr const char* kPrintFileSuffix = "prn";
inline constexpr const char* kLoadFailed = "Failed to load image file!";
inline constexpr const char* kAreaTooSmall = "NV image area too small!";
inline constexpr const char* kTooManyImages = "No more than 254 images fit in one list!";
inline constexpr const char* kNoImage = "Without a BMP file being selected.";
inline constexpr const char* kSelectAddress = "Please select address!";
inline constexpr const char* kCancelDownload = "Cancel to download image.";
inline constexpr const char* kRemoveQuestion = "Do you want to remove all of selection?";
inline constexpr const char* kSaved = "Saving print files are finished.";
inline constexpr const char* kSaveFailed = "Failed to save print file!";
inline constexpr const char* kListSaveFailed = "Failed to save the image list!";
inline constexpr const char* kNoFreeAddress = "No free address is left for automatic addressing!";
inline constexpr const char* kImageTooLarge = "The image is too large for one NV image command!";
} // namespace nv_text

class CNVDlg : public QDialog {
    Q_OBJECT
public:
    // Runs one worker job in a progress window; the window's end.
    using JobRunner = std::function<platform::JobResult(int job, const std::string& keyCode, int index)>;
    // Asks for one typed address; nullopt when the user cancelled.
    using AddressAsker = std::function<std::optional<std::string>(const std::vector<std::string>& existing)>;

    // `nv` (not owned) holds the addresses the caller's get-addresses job
    // read; `store` keeps the image list and the stored count.
    CNVDlg(CCommonNv& nv, platform::RegistryStore& store, platform::qt::Prompter& prompter,
           QWidget* parent = nullptr, platform::Clock& clock = platform::systemClock());
    ~CNVDlg() override;

    // The defaults show CNvProDlg and CNvAddrDlg.
    void SetJobRunner(JobRunner runner) { runJob_ = std::move(runner); }
    void SetAddressAsker(AddressAsker asker) { askAddress_ = std::move(asker); }

    // The buttons.
    void OnAddImage();
    void OnRemoveImages();
    void OnReset();
    void OnDownload();
    void OnSaveAs();
    void OnPrint();
    void OnPrintAll();
    void OnRemoveAll();
    void OnRefresh();
    void OnRemoveStored();
    void OnExit();

    // The image whose brightness the slider edits; -1 when none.
    int SelectedNumber() const { return selectedNumber_; }
    const std::string& SelectedPath() const { return selectedPath_; }
    QString InfoText() const;
    // What closing wrote: false when the image list could not be saved.
    bool ListSaved() const { return listSaved_; }

public slots:
    void reject() override;

protected:
    void done(int result) override;

private:
    void build();
    void restoreList();
    void fillImageList();
    void fillAddressList();
    void updateInfo();
    void onCurrentRowChanged(int row);
    void onSliderMoved(int value);
    void clearSelection();
    // Key codes for the whole list, or nullopt when the user cancelled or no
    // key is left (the message has been shown). `existing` is what a typed
    // key is checked against.
    std::optional<std::vector<std::string>> assignKeys(const std::vector<std::string>& existing);
    bool buildCommands(const std::vector<std::string>& keys);
    bool runJob(int job, const std::string& keyCode = {}, int index = 0);
    void message(const char* text, const QString& details = {});
    void saveList();

    CCommonNv& nv_;
    platform::RegistryStore& store_;
    platform::qt::Prompter& prompter_;
    platform::Clock& clock_;
    JobRunner runJob_;
    AddressAsker askAddress_;

    std::string selectedPath_;
    int selectedNumber_ = -1;
    bool closed_ = false;
    bool listSaved_ = true;

    QTableWidget* images_ = nullptr;
    QPushButton* addImage_ = nullptr;
    QPushButton* removeImages_ = nullptr;
    QPushButton* reset_ = nullptr;
    QPushButton* download_ = nullptr;
    QSlider* slider_ = nullptr;
    NvPreviewWidget* preview_ = nullptr;
    QListWidget* addresses_ = nullptr;
    QPushButton* print_ = nullptr;
    QPushButton* printAll_ = nullptr;
    QPushButton* removeAll_ = nullptr;
    QPushButton* refresh_ = nullptr;
    QCheckBox* autoAddressing_ = nullptr;
    QPushButton* removeStored_ = nullptr;
    QLabel* info_ = nullptr;
    QPushButton* saveAs_ = nullptr;
    QPushButton* exit_ = nullptr;
};

} // namespace corvane
