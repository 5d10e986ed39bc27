// The texture library dialog (template 111): the library's thumbnails in a grid; OK or
// "&Options..." take the selected texture into the record.
#pragma once
#include "borderfx/borderfx.h"

#include <QDialog>
#include <QRect>

class QAbstractScrollArea;
class QPushButton;

namespace borderfx {

// Fitting the grid control to whole thumbnails of iw x ih. w x h: the control's client size;
// vs, hs: the widths of a vertical and a horizontal scroll bar; frameW, frameH: what the control's
// border adds to a client size.
struct GridFit {
    int columns = 4;
    bool resize = false;       // the control takes the new size at its old place
    int width = 0, height = 0; // the control's new outer size (0: unchanged)
};
GridFit FitThumbnailGrid(int w, int h, int vs, int hs, int iw, int ih, int frameW, int frameH);

// The four buttons (OK, Cancel, "&Options...", "&Help") laid along the bottom of a client area
// of clientW x clientH, each bw x bh; "&Help" m from the right and b from the bottom.
struct LibraryButtons {
    QRect ok, cancel, options, help;
};
LibraryButtons LayoutLibraryButtons(int clientW, int clientH, int bw, int bh, int m, int b);

// The row of item number n (numbers start at 1) in a grid of C columns.
int RowOfItem(int32_t n, int columns);

class TextureLibraryDialog : public QDialog {
  public:
    TextureLibraryDialog(QWidget* parent, PlugInRecord* record);
    ~TextureLibraryDialog() override;

    // Modal run: 1 (OK), 3121 ("&Options...") or 2 (Cancel, or at once when the library cannot
    // be shown or holds nothing).
    int run();
    bool failed() const { return failed_; }
    void pressCommand(int id);
    QAbstractScrollArea* grid() const { return grid_; }
    int columns() const;

  protected:
    void reject() override;
    void accept() override;

  private:
    bool showLibrary(int32_t n);
    void takeOut();
    PlugInRecord* record_;
    QAbstractScrollArea* grid_ = nullptr;
    QPushButton* buttons_[4] = {};
    bool failed_ = false;
    bool ending_ = false;
};

// The number of the texture selected in the shown library (or the chosen number when none is
// selected) made the record's texture; the old object is released. Returns the number, or 0
// (textureData unchanged) when no texture can be made.
int32_t TakeLibraryTexture(PlugInRecord* record);

// The chosen number of the last dialog (starts at textureIndex, written back on OK).
int32_t ChosenTextureNumber();

} // namespace borderfx
