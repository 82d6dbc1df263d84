// The NV image manager's preview box: white, outlined, with the selected
// bitmap stretched to the box's scale and lightened by the brightness
// slider at its top-left corner. Being its own widget, anything that does
// not fit is clipped to the box and never reaches neighbouring controls.
//
// The stretched picture is cached per (path, box width): a slider move only
// relightens it, and the file is read again only for another path or after
// the box's width changed.
#pragma once

#include "corvane/nv/NvPreview.h"

#include <QImage>
#include <QWidget>

#include <string>

namespace corvane {

class NvPreviewWidget : public QWidget {
    Q_OBJECT
public:
    explicit NvPreviewWidget(QWidget* parent = nullptr);

    // The bitmap to show; empty = none. The same path again keeps the cache.
    void ShowImage(const std::string& path);
    // The slider position 0..100 (outside that, clamped).
    void SetBrightness(int value);

    bool HasPicture() const { return !shown_.isNull(); }
    // What the last paint showed, the widget's size.
    QImage RenderedImage() const { return rendered_; }
    // Decodes so far (each a file read), for tests of the cache.
    int loadCount() const { return loadCount_; }
    // Why the shown path could not be previewed; empty when it could.
    const std::string& loadError() const { return loadError_; }
    const std::string& path() const { return path_; }
    int brightness() const { return brightness_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Loads the picture when the path or the box width differs from the
    // cached one.
    void ensureLoaded();
    void relighten();

    std::string path_;
    int brightness_ = 0;
    nv::PreviewPicture picture_;
    std::string loadedPath_;
    int loadedWidth_ = -1;
    std::string loadError_;
    int loadCount_ = 0;
    QImage shown_;      // the picture lightened for brightness_
    QImage rendered_;
};

} // namespace corvane
