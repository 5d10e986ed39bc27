#include "framework/globals.h"

#include "setup/chooserform.h"
#include "setup/extractform.h"
#include "setup/makedirform.h"
#include "shell/infoform.h"
#include "shell/mainform.h"

TForm1* Form1 = nullptr;
TForm2* Form2 = nullptr;
TForm3* Form3 = nullptr;
TForm4* Form4 = nullptr;
TForm5* Form5 = nullptr;

void CreateForms() {
    CreateMainForm();
    CreateOtherForms();
}

void CreateMainForm() {
    Form1 = new TForm1;
}

void CreateOtherForms() {
    if (Form2) return;
    Form2 = new TForm2;
    Form3 = new TForm3;
    Form4 = new TForm4;
    Form5 = new TForm5;
}

void DestroyForms() {
    delete Form5;
    Form5 = nullptr;
    delete Form4;
    Form4 = nullptr;
    delete Form3;
    Form3 = nullptr;
    delete Form2;
    Form2 = nullptr;
    delete Form1;
    Form1 = nullptr;
}
