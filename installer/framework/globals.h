#pragma once
// The installer's five windows, created at start-up in this order and alive until the program ends.
// Windows reach each other only through these.
class TForm1;
class TForm2;
class TForm3;
class TForm4;
class TForm5;

extern TForm1* Form1; // main window
extern TForm2* Form2; // destination chooser
extern TForm3* Form3; // make-directory dialog
extern TForm4* Form4; // info viewer
extern TForm5* Form5; // extraction dialog

// Creates the five windows in order (Form1 first: its creation reads the settings).
void CreateForms();
// The same in two steps, so that the main window can be on the screen before the others are built:
// the main window, then the other four. The second does nothing once they exist; nothing reaches
// them but the main window, which builds them first if they are not there yet.
void CreateMainForm();
void CreateOtherForms();
// Destroys them in reverse order (used at exit and by tests).
void DestroyForms();
