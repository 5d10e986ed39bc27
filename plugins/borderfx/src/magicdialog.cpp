// The texture variations dialog: a 3 x 3 grid of the middle texture and its variations.
#include "magicdialog.h"

#include "templatedialog.h"

#include "dialogmodel.h"
#include "messages.h"

#include "imagelib/tv32base.h"
#include "imagelib/tv32clips.h"
#include "imagelib/tv32comm.h"
#include "imagelib/tv32qt.h"
#include "imagelib/tv32tx.h"
#include "imagelib/tv32txtur.h"
#include "imagelib/tv32vargrid.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QFrame>
#include <QPainter>
#include <QPushButton>
#include <QThread>

#include <map>
#include <utility>

namespace borderfx {

namespace {

// The dialog of each grid; while a grid is being made its dialog is the one opening.
std::map<void*, MagicTexturesDialog*>& g_dialogs() {
    static std::map<void*, MagicTexturesDialog*> m;
    return m;
}
MagicTexturesDialog* g_opening = nullptr;

// An outline over the grid, drawn inverted so that it shows on any picture.
class Outline : public QWidget {
  public:
    explicit Outline(QWidget* parent) : QWidget(parent) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        resize(parent->size());
    }
    QRect rect_;

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setCompositionMode(QPainter::RasterOp_NotDestination);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(Qt::white, 1));
        p.drawRect(rect_.adjusted(0, 0, -1, -1));
    }
};

} // namespace

MagicTexturesDialog::MagicTexturesDialog(QWidget* parent, void* texture) : QDialog(parent), given_(texture) {
    const TemplateLayout layout =
        SetUpTemplateDialog(this, QStringLiteral("Magic Textures - Talvor Sitecraft"), 200, 144);
    AddCommandButtons(this,
                      {{1, "OK", layout.rect(144, 6, 50, 14)},
                       {2, "Cancel", layout.rect(144, 26, 50, 14)},
                       {3106, "&Random", layout.rect(144, 48, 50, 14)},
                       {3060, "&Help", layout.rect(144, 70, 50, 14)}},
                      [this](int id) { pressCommand(id); });
    auto* frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("3100"));
    frame->setFrameStyle(QFrame::Box | QFrame::Plain);
    frame->setGeometry(layout.rect(6, 6, 132, 132));
    gridControl_ = frame;
    // The hidden one-item list whose picture sets the size every cell is drawn at.
    QAbstractScrollArea* sample = tv32::createImageListControl(this);
    sample->setObjectName(QStringLiteral("3109"));
    sample->setFrameShape(QFrame::NoFrame);
    sample->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    sample->setGeometry(layout.rect(140, 140, 44, 44));
    sample->hide();
    sampleControl_ = sample;

    // Opening.
    busy_ = true;
    for (int i = 0; i < 9; ++i) {
        if (!tv32TextureDataDuplicate(given_, &set_.objects[i])) {
            failed_ = true;
            return;
        }
    }
    MakeVariations(set_);
    bool ok = buildGrid();
    if (ok) ok = drawCell(4);
    busy_ = false;
    if (ok) ok = drawOtherCells();
    if (!ok) {
        failed_ = true;
        return;
    }
    tv32MoveWindow(tv32::handleOfWidget(this), TV32_PARENT_OF_WINDOW, 1);
}

MagicTexturesDialog::~MagicTexturesDialog() {
    if (gridObject_) {
        tv32IIOAction(gridObject_, TV32_IIO_SHOW, 0, nullptr);
        tv32DestroyIIO(gridObject_);
        g_dialogs().erase(gridObject_);
    }
    if (sampleList_) {
        tv32IIOAction(sampleList_, TV32_IIO_SHOW, 0, nullptr);
        tv32DestroyIIO(sampleList_);
    }
    for (TV32HBUF& p : pictures_) {
        if (p) buf32Free(p);
        p = 0;
    }
    for (void*& o : set_.objects) {
        tv32TextureDataFree(o);
        o = nullptr;
    }
    CloseHelp(tv32::handleOfWidget(this));
}

bool MagicTexturesDialog::buildGrid() {
    const TV32HWND gridHandle = tv32::handleOfWidget(gridControl_);
    const TV32HWND sampleHandle = tv32::handleOfWidget(sampleControl_);
    int32_t w = 0, h = 0;
    if (tv32IIOGetWH(gridHandle, 1, 3, 3, &w, &h, 320) != 1) return false;
    TV32HBUF picture = 0, resized = 0;
    bool ok = buf32Alloc(&picture, 24, w, h, BUF32_FILL_ZERO, nullptr) == 1 &&
              tv32TxBufResize(picture, sampleHandle, &resized) == 1;
    if (ok) {
        sampleList_ = tv32CreateIIO(&resized, 1, nullptr);
        ok = sampleList_ && tv32IIOAction(sampleList_, TV32_IIO_SHOW, 1,
                                          reinterpret_cast<void*>(uintptr_t(sampleHandle))) == 1;
    }
    for (int i = 0; ok && i < 9; ++i)
        ok = buf32DupBuf(resized, &pictures_[i]) == 1;
    if (picture) buf32Free(picture);
    if (resized) buf32Free(resized);
    if (!ok) return false;
    g_opening = this;
    gridObject_ = tv32VarCreateIIO(gridHandle, pictures_, nullptr, w, h, GridCellCallback);
    g_opening = nullptr;
    if (!gridObject_) return false;
    g_dialogs()[gridObject_] = this;
    buf32GetWHU(pictures_[0], &cw_, &ch_, 0);
    int32_t middle = 4;
    TV32IIOSELECTION sel{1, &middle};
    tv32IIOAction(gridObject_, TV32_IIO_SELECT, 0, &sel);
    return true;
}

int MagicTexturesDialog::run() {
    if (failed_) return 2;
    return exec() == 1 ? 1 : 2;
}

bool MagicTexturesDialog::drawCell(int cell) {
    TV32HBUF picture = 0;
    if (!tv32GenerateTexture(2, 0, set_.objects[cell], cw_, ch_, 0, &picture, 0, 0, nullptr)) return false;
    if (pictures_[cell]) buf32Free(pictures_[cell]);
    pictures_[cell] = picture;
    return true;
}

bool MagicTexturesDialog::drawOtherCells() {
    if (busy_) return true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    for (int i = 0; i < 9; ++i) {
        if (i == 4) continue;
        if (!drawCell(i)) {
            QApplication::restoreOverrideCursor();
            return false;
        }
    }
    QApplication::restoreOverrideCursor();
    return tv32VarSetII(gridObject_, pictures_, nullptr) == 1;
}

int32_t TV32_CALL MagicTexturesDialog::GridCellCallback(void* object, int32_t event, int32_t cell,
                                                        void* data) {
    const auto it = g_dialogs().find(object);
    MagicTexturesDialog* d = it != g_dialogs().end() ? it->second : g_opening;
    if (!d) return 0;
    if (event == TV32_VAR_CELL_RECT && data && cell >= 0 && cell < 9) {
        const auto* info = static_cast<const TV32VARCELLINFO*>(data);
        if (info->what != 4) return 0;
        d->cells_[cell] = QRect(QPoint(info->left, info->top), QPoint(info->right - 1, info->bottom - 1));
        return 0;
    }
    if (event == TV32_VAR_CELL_CLICK && cell >= 0) {
        d->clickCell(cell);
        return 1;
    }
    return 0;
}

void MagicTexturesDialog::clickCell(int cell) {
    if (cell == 4 || cell < 0 || cell > 8) return;
    animateOutline(cell);
    pickVariation(cell);
}

void MagicTexturesDialog::animateOutline(int from) {
    if (!gridControl_) return;
    Outline outline(gridControl_);
    QRect cur = cells_[from];
    const QRect target = cells_[4];
    int dx = cur.left() == target.left() ? 0 : (cur.left() < target.left() ? 5 : -5);
    int dy = cur.top() == target.top() ? 0 : (cur.top() < target.top() ? 5 : -5);
    outline.show();
    outline.raise();
    for (;;) {
        outline.rect_ = cur;
        outline.repaint();
        if (cur.left() == target.left() && cur.top() == target.top()) break;
        cur.translate(dx, dy);
        QThread::msleep(1);
        if ((dx > 0 && cur.left() >= target.left()) || (dx < 0 && cur.left() <= target.left())) {
            cur.moveLeft(target.left());
            dx = 0;
        }
        if ((dy > 0 && cur.top() >= target.top()) || (dy < 0 && cur.top() <= target.top())) {
            cur.moveTop(target.top());
            dy = 0;
        }
    }
}

void MagicTexturesDialog::pickVariation(int cell) {
    tv32TextureDataDuplicate(set_.objects[cell], &set_.objects[4]);
    std::swap(pictures_[cell], pictures_[4]);
    set_.tables[4] = set_.tables[cell];
    MakeVariations(set_);
    if (!drawOtherCells()) end(2);
}

void MagicTexturesDialog::pressCommand(int id) {
    switch (id) {
    case 1:
        // OK only once the middle texture has reached the object the dialog was given; when it
        // cannot be written there the dialog fails, which its caller takes as Cancel.
        end(tv32TextureDataDuplicate(set_.objects[4], &given_) ? 1 : 2);
        break;
    case 2:
        end(2);
        break;
    case 3106: {
        RandomizeTexture(&set_.objects[4]);
        MakeVariations(set_);
        int c = 4;
        while (c == 4)
            c = int(int64_t(RuntimeRand()) * 8 / 32767);
        tv32TextureDataDuplicate(set_.objects[c], &set_.objects[4]);
        MakeVariations(set_);
        if (!drawCell(4)) {
            end(2);
            break;
        }
        if (!drawOtherCells()) end(2);
        break;
    }
    case 3060:
        ShowHelp(tv32::handleOfWidget(this), 160);
        break;
    default:
        break;
    }
}

void MagicTexturesDialog::end(int result) {
    done(result);
}
void MagicTexturesDialog::accept() {
    pressCommand(1);
}
void MagicTexturesDialog::reject() {
    end(2);
}

} // namespace borderfx
