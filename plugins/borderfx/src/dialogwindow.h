// The parameter dialog (template 110) as a window: frame and shadow controls, colour swatches,
// direction pictures and the live preview. Its arithmetic is in dialogmodel.h and preview.h.
#pragma once
#include "borderfx/borderfx.h"
#include "dialogmodel.h"
#include "preview.h"

#include <QDialog>
#include <QTimer>

#include <array>
#include <map>
#include <span>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace borderfx {

class UpDown;

// The controls of template 110 by id (each control's objectName is its id).
enum ControlId : int {
    kIdOk = 1,
    kIdCancel = 2,
    kIdFillColor = 3001,
    kIdFillTexture = 3002,
    kIdFrameSwatch = 3004,
    kIdTextureSwatch = 3005,
    kIdWidthLabel = 3007,
    kIdFrameWidth = 3008,
    kIdFrameWidthSpin = 3009,
    kIdShadowSwatch = 3012,
    kIdDirection = 3013,        // the radios of directions 0 to 3: 3013 to 3016
    kIdDirectionPicture = 3017, // their pictures: 3017 to 3020
    kIdXLabel = 3021,
    kIdXOffset = 3022,
    kIdXSpin = 3023,
    kIdYLabel = 3024,
    kIdYOffset = 3025,
    kIdYSpin = 3026,
    kIdTransparencyLabel = 3027,
    kIdTransparency = 3028,
    kIdTransparencySpin = 3029,
    kIdTransparencyRange = 3030,
    kIdBlending = 3031,
    kIdBlendWidth = 3032,
    kIdBlendSpin = 3033,
    kIdPixelsLabel = 3034,
    kIdBlendRange = 3035,
    kIdPreview = 3054,
    kIdFrame = 3057,
    kIdShadow = 3058,
    kIdHelp = 3060,
    kIdLibrary = 3061,
    kIdAbout = 3062,
};

class FrameShadowDialog : public QDialog {
  public:
    // Opens over parent for record: fills the controls and renders the first preview. When the
    // preview cannot be set up, failed() is true and run() returns 0 at once. A dialog that is
    // never shown (driven by settings, see dialogscript.h) previews on a blank picture of the
    // preview's size rather than scaling the whole picture down for nobody to see: its limits,
    // controls and failures are the same.
    FrameShadowDialog(QWidget* parent, PlugInRecord* record, bool shown = true);
    ~FrameShadowDialog() override;

    bool failed() const { return failed_; }
    // Modal run: 1 after OK, 0 after Cancel or a failure.
    int run();

    // The buttons' commands. OK with a textured frame and no texture to draw says what is
    // missing (message 505) and leaves the dialog open.
    void pressOk();
    void pressCancel();
    // What a click on the frame or shadow colour swatch does, the colour chooser answered with
    // *chosen (nullptr: the chooser itself runs).
    void pickFrameColor(const uint32_t* chosen);
    void pickShadowColor(const uint32_t* chosen);
    // Takes texture n of the texture library as the frame's texture, as the library picker does
    // (the fill stays as it is); false when the library holds no texture n.
    bool takeLibraryTexture(int32_t n);
    // The largest value edit id takes now.
    int32_t maximumOf(int id) const;
    QLineEdit* edit(int id) const;
    QWidget* control(int id) const;

    // For the tests and the host.
    const PreviewState& preview() const { return preview_; }
    const RefreshTimer& refreshTimer() const { return timer_; }
    const OffsetLimits& offsetLimits() const { return limits_; }
    int32_t frameMaximum() const { return frameMax_; }
    const ColorSwatch& frameSwatch() const { return frameSwatch_; }
    const ColorSwatch& shadowSwatch() const { return shadowSwatch_; }
    const ColorSwatch& textureSwatch() const { return textureSwatch_; }
    QRect directionPicture(int index) const;
    bool pipetteShowing() const { return pipette_; }
    int refreshCount() const { return refreshes_; }
    // One tick of the refresh timer, as the 250 ms timer gives it.
    void timerTick();
    // RefreshPreview: renders and schedules a repaint of the preview; ends the dialog (0) with
    // message 508 on failure.
    void refreshPreview();
    // The pipette cursor: an eyedropper with its hot spot at (8, 23).
    static QCursor pipetteCursor();
    // Picture of shadow direction d: an image rectangle with its shadow offset that way.
    static QPixmap directionPixmap(int direction, QSize size);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void reject() override;

  private:
    struct EditField {
        QLineEdit* edit;
        UpDown* upDown;
        int32_t* field;
    };
    void build();
    bool openDialog();
    void fail();
    void setEditInt(int id, int32_t value);
    int32_t getEditInt(int id) const;
    void editChanged(int id);
    void setOffsetLimits(int32_t direction);
    void enable(std::span<const int> ids, bool on);
    void enableOk();
    void frameToggled();
    void shadowToggled();
    void blendToggled();
    void fillCommand(int32_t fill);
    void directionCommand(int id);
    void libraryCommand();
    void readDialogValues();
    bool textureMissing() const;

    PlugInRecord* record_;
    FrameShadowParams backup_{};
    bool frameOn_ = false, shadowOn_ = false, blendOn_ = false;
    int32_t frameMax_ = 0;
    OffsetLimits limits_;
    RefreshTimer timer_;
    QTimer qtimer_;
    ColorSwatch frameSwatch_, shadowSwatch_, textureSwatch_;
    std::array<QRect, 4> pictures_;
    bool pipette_ = false;
    bool failed_ = false;
    bool ending_ = false;
    int refreshes_ = 0;
    bool shown_ = true;
    PreviewState preview_;
    std::map<int, EditField> edits_;
    QCheckBox *frameCheck_ = nullptr, *shadowCheck_ = nullptr, *blendCheck_ = nullptr;
    QRadioButton *colorRadio_ = nullptr, *textureRadio_ = nullptr;
    std::array<QRadioButton*, 4> directionRadios_{};
    QPushButton* okButton_ = nullptr;
};

// Cancel as the dialog does it: the parameter block as it was when the dialog opened (opening),
// a texture object made since released, the cancellation recorded for the host
// (c32SetDLLErrInfo(0, 0, 5200, 0, 0, 0)).
void CancelParams(PlugInRecord* record, const FrameShadowParams& opening);

} // namespace borderfx
