// The parameter dialog (template 110) as a window: frame and shadow controls, colour swatches,
// direction pictures and the live preview. Its arithmetic is in dialogmodel.h and preview.h.
#pragma once
#include "borderfx/borderfx.h"
#include "dialogmodel.h"
#include "preview.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>

#include <array>
#include <map>

class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace borderfx {

class UpDown;

class FrameShadowDialog : public QDialog {
  public:
    // Opens over parent for record: fills the controls and renders the first preview. When the
    // preview cannot be set up, failed() is true and run() returns 0 at once.
    FrameShadowDialog(QWidget* parent, PlugInRecord* record);
    ~FrameShadowDialog() override;

    bool failed() const { return failed_; }
    // Modal run: 1 after OK, 0 after Cancel or a failure.
    int run();

    // Sets controls from "name=value,name=value" as the user would (see plughost borderfx
    // --set); empty string on success, else what was wrong (nothing pressed then).
    QString applySettings(const QString& settings);
    // The buttons' commands.
    void pressOk();
    void pressCancel();

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
    QRect px(int x, int y, int w, int h) const;
    void build();
    bool openDialog();
    void fail();
    void setEditInt(int id, int32_t value);
    int32_t getEditInt(int id) const;
    int32_t maximumOf(int id) const;
    void editChanged(int id);
    void setOffsetLimits(int32_t direction);
    void updateEnabling();
    void frameToggled();
    void shadowToggled();
    void blendToggled();
    void fillCommand(int32_t fill);
    void directionCommand(int id);
    void libraryCommand();
    void readDialogValues();
    void chooseFrameColor(const uint32_t* preset);
    // Takes texture n of the texture library as the frame's texture, as the library picker does
    // (the fill stays as it is); false when the library holds no texture n.
    bool takeLibraryTexture(int32_t n);
    void chooseShadowColor(const uint32_t* preset);
    QWidget* control(int id) const;

    PlugInRecord* record_;
    FrameShadowParams backup_{};
    DialogBase base_;
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
    PreviewState preview_;
    std::map<int, EditField> edits_;
    QCheckBox *frameCheck_ = nullptr, *shadowCheck_ = nullptr, *blendCheck_ = nullptr;
    QRadioButton *colorRadio_ = nullptr, *textureRadio_ = nullptr;
    std::array<QRadioButton*, 4> directionRadios_{};
    QPushButton *okButton_ = nullptr, *libraryButton_ = nullptr;
};

} // namespace borderfx
