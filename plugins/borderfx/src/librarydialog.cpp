// The texture library dialog: thumbnails of the library file, taking one texture.
#include "librarydialog.h"

#include "templatedialog.h"

#include "dialogmodel.h"
#include "messages.h"
#include "texturelib.h"

#include "imagelib/tv32base.h"
#include "imagelib/tv32clips.h"
#include "imagelib/tv32comm.h"
#include "imagelib/tv32qt.h"
#include "imagelib/tv32txtur.h"

#include <QAbstractScrollArea>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>

#include <cstdint>

namespace borderfx {

namespace {

// Module-wide state of the dialog: one dialog at a time.
struct LibraryDialogState {
    int32_t chosen = 0;
    PlugInRecord* record = nullptr;
    int columns = 4;
    int32_t savedColumns = 0, savedColumnsPage = 0;
    int32_t selection = -1;
};
LibraryDialogState& dlgState() {
    static LibraryDialogState s;
    return s;
}

void* handleOf(QWidget* w) {
    return reinterpret_cast<void*>(uintptr_t(tv32::handleOfWidget(w)));
}

} // namespace

GridFit FitThumbnailGrid(int w, int h, int vs, int hs, int iw, int ih, int frameW, int frameH) {
    GridFit fit;
    if (iw <= 0 || ih <= 0) return fit;
    int c = (w - vs) / iw;
    if (c <= 0 || w - c * iw - vs > w - (c + 1) * iw) {
        ++c;
        fit.resize = true;
    }
    int rows = 2;
    if (h - 2 * ih - hs > h - 3 * ih) {
        rows = 3;
        fit.resize = true;
    }
    fit.columns = c;
    fit.width = c * iw + frameW + vs;
    fit.height = rows * ih + frameH;
    return fit;
}

LibraryButtons LayoutLibraryButtons(int clientW, int clientH, int bw, int bh, int m, int b) {
    LibraryButtons r;
    const int top = clientH - b - bh;
    const int help = clientW - m - bw;
    const int step = bw + 8 * m / 6;
    r.help = QRect(help, top, bw, bh);
    r.options = QRect(help - step, top, bw, bh);
    r.cancel = QRect(help - 2 * step, top, bw, bh);
    r.ok = QRect(help - 2 * step - (bw + m), top, bw, bh);
    return r;
}

int RowOfItem(int32_t n, int columns) {
    if (columns <= 0 || n <= 0) return 0;
    return (n - 1) / columns;
}

int32_t ChosenTextureNumber() {
    return dlgState().chosen;
}

int32_t TakeLibraryTexture(PlugInRecord* record) {
    LibraryDialogState& s = dlgState();
    void* list = LoadedLibrary();
    int32_t n = s.chosen;
    if (list && tv32IIOAction(list, TV32_IIO_SELECTED, 0, nullptr) > 0) {
        int32_t selected = 0;
        TV32IIOSELECTION sel{1, &selected};
        if (tv32IIOAction(list, TV32_IIO_SELECTED, 0, &sel) == 1) n = selected;
    }
    void* texture = nullptr;
    if (!record || !LoadLibraryTexture(list, n, &texture)) return 0;
    if (record->params.textureData) tv32TextureDataFree(record->params.textureData);
    record->params.textureData = texture;
    return n;
}

TextureLibraryDialog::TextureLibraryDialog(QWidget* parent, PlugInRecord* record)
    : QDialog(parent), record_(record) {
    setObjectName(QStringLiteral("111"));
    const TemplateLayout layout =
        SetUpTemplateDialog(this, QStringLiteral("Texture Library - Talvor Sitecraft"), 236, 200);
    const std::vector<QPushButton*> made =
        AddCommandButtons(this,
                          {{1, "OK", layout.rect(6, 180, 50, 14)},
                           {2, "Cancel", layout.rect(64, 180, 50, 14)},
                           {3121, "&Options...", layout.rect(122, 180, 50, 14)},
                           {3060, "&Help", layout.rect(180, 180, 50, 14)}},
                          [this](int id) { pressCommand(id); });
    std::copy(made.begin(), made.end(), buttons_);
    grid_ = tv32::createImageListControl(this);
    grid_->setObjectName(QStringLiteral("3120"));
    grid_->setGeometry(layout.rect(6, 6, 224, 168));
    // A double click (or Return) on a thumbnail takes it as OK does.
    connect(grid_, SIGNAL(itemActivated(int)), this, SLOT(accept()));

    // Opening.
    LibraryDialogState& s = dlgState();
    s.record = record;
    s.chosen = record ? record->textureIndex : 0;
    const QRect help = buttons_[3]->geometry();
    const int bw = help.width(), bh = help.height();
    const int m = width() - (help.x() + bw), b = height() - (help.y() + bh);
    if (!showLibrary(s.chosen)) {
        failed_ = true;
        return;
    }
    if (tv32IIOAction(LoadedLibrary(), TV32_IIO_COUNT, 0, nullptr) <= 0) {
        tv32IIOAction(LoadedLibrary(), TV32_IIO_SHOW, 0, nullptr);
        failed_ = true;
        return;
    }
    const LibraryButtons r = LayoutLibraryButtons(width(), height(), bw, bh, m, b);
    buttons_[0]->setGeometry(r.ok);
    buttons_[1]->setGeometry(r.cancel);
    buttons_[2]->setGeometry(r.options);
    buttons_[3]->setGeometry(r.help);
    tv32MoveWindow(tv32::handleOfWidget(this), TV32_PARENT_OF_WINDOW, 1);
    grid_->setFocus(); // the arrow keys move the selection at once
}

TextureLibraryDialog::~TextureLibraryDialog() {
    CloseHelp(tv32::handleOfWidget(this));
    void* list = LoadedLibrary();
    // Never leave the list pointing at a control that is going away.
    if (list && !ending_ && !failed_) takeOut();
}

int TextureLibraryDialog::columns() const {
    return dlgState().columns;
}

bool TextureLibraryDialog::showLibrary(int32_t n) {
    LibraryDialogState& s = dlgState();
    if (!LoadedLibrary()) LoadTextureLibrary(BuildLibraryPath());
    void* list = LoadedLibrary();
    if (!list) {
        grid_->setEnabled(false);
        return false;
    }
    TV32IIOTHUMBSIZE size{};
    tv32IIOAction(list, TV32_IIO_THUMB_SIZE, 0, &size);
    const int vs = grid_->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, grid_);
    const int frame = 2 * grid_->frameWidth();
    const int w = grid_->width() - frame, h = grid_->height() - frame;
    const GridFit fit = FitThumbnailGrid(w, h, vs, vs, size.width, size.height, frame, frame);
    s.columns = fit.columns;
    if (fit.width > 0) {
        const QRect old = grid_->geometry();
        const int dw = width() - old.width(), dh = height() - old.height();
        if (fit.resize) {
            grid_->setGeometry(old.x(), old.y(), fit.width, fit.height);
            resize(fit.width + dw, height());
        } else {
            grid_->setGeometry((width() - fit.width) / 2, old.y(), fit.width, fit.height);
        }
        resize(width(), fit.height + dh);
    }
    s.selection = -1;
    if (tv32IIOAction(list, TV32_IIO_SELECTED, 0, nullptr) == 1) {
        int32_t sel = -1;
        TV32IIOSELECTION r{1, &sel};
        if (tv32IIOAction(list, TV32_IIO_SELECTED, 0, &r) == 1) s.selection = sel;
    }
    TV32IIOSETTINGS settings{};
    tv32IIOAction(list, TV32_IIO_GET_SETTINGS, 0, &settings);
    s.savedColumns = settings.columns;
    s.savedColumnsPage = settings.columnsPage;
    settings.columns = settings.columnsPage = s.columns;
    settings.callbackActive = 0;
    settings.callback = nullptr;
    tv32IIOAction(list, TV32_IIO_SET_SETTINGS, 0, &settings);
    if (tv32IIOAction(list, TV32_IIO_SHOW, 1, handleOf(grid_)) != 1) {
        grid_->setEnabled(false);
        return false;
    }
    const int32_t item = n > 0 ? n : s.selection;
    TV32IIOSELECTION select{1, const_cast<int32_t*>(&item)};
    tv32IIOAction(list, TV32_IIO_SELECT, 0, &select);
    const int row = RowOfItem(item, s.columns);
    if (grid_->verticalScrollBar()->value() != row) grid_->verticalScrollBar()->setValue(row);
    return true;
}

void TextureLibraryDialog::takeOut() {
    LibraryDialogState& s = dlgState();
    void* list = LoadedLibrary();
    if (!list) return;
    tv32IIOAction(list, TV32_IIO_SHOW, 0, nullptr);
    TV32IIOSETTINGS settings{};
    tv32IIOAction(list, TV32_IIO_GET_SETTINGS, 0, &settings);
    settings.columns = s.savedColumns;
    settings.columnsPage = s.savedColumnsPage;
    settings.callbackActive = 1;
    settings.callback = LibraryItemCallback;
    tv32IIOAction(list, TV32_IIO_SET_SETTINGS, 0, &settings);
    if (s.selection >= 0) {
        int32_t item = s.selection;
        TV32IIOSELECTION select{1, &item};
        tv32IIOAction(list, TV32_IIO_SELECT, 0, &select);
    }
}

int TextureLibraryDialog::run() {
    if (failed_) return 2;
    const int r = exec();
    return r == 1 || r == 3121 ? r : 2;
}

void TextureLibraryDialog::pressCommand(int id) {
    if (ending_) return;
    LibraryDialogState& s = dlgState();
    switch (id) {
    case 1:
    case 3121: {
        const int32_t n = TakeLibraryTexture(record_);
        if (record_) record_->textureIndex = n;
        s.chosen = n;
        ending_ = true;
        takeOut();
        done(id);
        break;
    }
    case 2:
        ending_ = true;
        if (LoadedLibrary()) takeOut();
        done(2);
        break;
    case 3060:
        ShowHelp(tv32::handleOfWidget(this), 150);
        break;
    default:
        break;
    }
}

void TextureLibraryDialog::reject() {
    pressCommand(2);
}

void TextureLibraryDialog::accept() {
    pressCommand(1);
}

} // namespace borderfx
