#pragma once
// The main window: a fixed-size splash window with a background picture, three picture buttons with
// hot areas, the product name, a scrolling text line, a popup menu and a painted caption bar.
#include "framework/controls.h"
#include "framework/forms.h"
#include "shell/officecaption.h"
#include "shell/scrolltext.h"

#include <QAction>
#include <QMenu>

#include <cstdint>
#include <string>

class TForm1 : public forms::TForm {
    Q_OBJECT
  public:
    explicit TForm1(QWidget* parent = nullptr);
    // Decodes the pictures the window shows, on any thread, ahead of its construction.
    static void DecodePictures();

    static constexpr int kClientWidth = 492;
    static constexpr int kClientHeight = 361;

    // The window is frameless and paints its own caption strip (MSOfficeCaption1) across its top;
    // the client area is this widget below the strip, kClientWidth x kClientHeight, and every
    // control's geometry is relative to it.
    QWidget* ClientArea;
    TMSOfficeCaption* MSOfficeCaption1;

    // Controls, in stacking order from bottom to top.
    TImage* Image1;           // background
    TImage* Image2;           // lit "install" button
    TImage* Image4;           // lit "exit" button
    TImage* Image3;           // lit "info" button
    TLabel* Label4;           // product name
    TScrollText* ScrollText1; // scrolling line
    TLabel* Label1;           // hot area over the install button
    TLabel* Label2;           // hot area over the info button
    TLabel* Label3;           // hot area over the exit button
    TLabel* Label5;           // credits

    QMenu* PopupMenu1;
    QAction* Install1;
    QAction* hcynfo1;
    QAction* Quit1;

    // Music handles of the sound library (0 = none).
    std::uint32_t Module = 0;
    std::uint32_t PlayHandle = 0;

    // Plays the module `fileName` looping, after stopping and freeing the one before; with an empty
    // name it starts the loaded module again. A failure of the sound library ends the program.
    void Playmod(const std::string& fileName);

    // Hover handlers: each shows at most one lit picture.
    void Image1MouseMove();
    void Image2MouseMove();
    void Image3MouseMove();
    void Image4MouseMove();
    void Label1MouseMove();
    void Label2MouseMove();
    void Label3MouseMove();

    // Click handlers.
    void Image2Click();
    void Label1Click();
    void Install1Click();
    void Image3Click();
    void Label2Click();
    void hcynfo1Click();
    void Image4Click();
    void Label3Click();
    void Quit1Click();

  protected:
    void FormCreate();
    void FormShow() override;
    void contextMenuEvent(QContextMenuEvent* e) override;

  private:
    // The parts of building the window, in order.
    void setUpWindow();
    void placePictures();
    void placeTexts();
    void setUpCaption();
    void setUpMenu();
    void connectHandlers();

    void showLit(TImage* lit);
    void openChooser();
    void openViewer();
};
