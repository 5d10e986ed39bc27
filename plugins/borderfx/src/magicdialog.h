// The texture variations dialog (template 112): the current texture in the middle of a 3 x 3
// grid, eight variations around it; a click on a neighbour makes it the middle.
#pragma once
#include "variations.h"

#include "imagelib/tv32types.h"

#include <QDialog>
#include <QRect>

class QWidget;

namespace borderfx {

class MagicTexturesDialog : public QDialog {
  public:
    // texture: the object to start from, written back into on OK.
    MagicTexturesDialog(QWidget* parent, void* texture);
    ~MagicTexturesDialog() override;

    // Modal run: 1 (OK) or 2 (Cancel, or at once when the grid cannot be built).
    int run();
    bool failed() const { return failed_; }
    void pressCommand(int id);
    // What a click on a cell does (the grid's click event).
    void clickCell(int cell);
    const VariationSet& variations() const { return set_; }
    QRect cellRect(int cell) const { return cells_[cell]; }
    QWidget* grid() const { return gridControl_; }
    QWidget* sample() const { return sampleControl_; }
    int cellWidth() const { return cw_; }
    int cellHeight() const { return ch_; }

    // The grid's cell callback.
    static int32_t TV32_CALL GridCellCallback(void* object, int32_t event, int32_t cell, void* data);

  protected:
    void reject() override;
    void accept() override;

  private:
    bool buildGrid();
    bool drawCell(int cell);
    bool drawOtherCells();
    void animateOutline(int from);
    void pickVariation(int cell);
    void end(int result);

    void* given_;
    VariationSet set_;
    TV32HBUF pictures_[9] = {};
    QRect cells_[9];
    int cw_ = 0, ch_ = 0;
    void* gridObject_ = nullptr;
    QWidget* gridControl_ = nullptr;
    QWidget* sampleControl_ = nullptr;
    void* sampleList_ = nullptr;
    bool busy_ = true;
    bool failed_ = false;
};

} // namespace borderfx
