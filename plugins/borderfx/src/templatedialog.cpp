#include "templatedialog.h"

namespace borderfx {

TemplateLayout SetUpTemplateDialog(QDialog* dialog, const QString& caption, int width, int height) {
    dialog->setWindowTitle(caption);
    dialog->setModal(true);
    dialog->setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    dialog->setFont(tv32::dialogFont());
    const TemplateLayout layout = tv32::dialogUnitsOf(dialog->font());
    dialog->resize(layout.rect(0, 0, width, height).size());
    return layout;
}

std::vector<QPushButton*> AddCommandButtons(QDialog* dialog, const std::vector<CommandButton>& buttons,
                                            const std::function<void(int)>& command) {
    std::vector<QPushButton*> made;
    for (const CommandButton& def : buttons) {
        auto* b = new QPushButton(QString::fromUtf8(def.text), dialog);
        b->setObjectName(QString::number(def.id));
        b->setGeometry(def.at);
        b->setAutoDefault(false);
        b->setDefault(def.id == 1);
        const int id = def.id;
        QObject::connect(b, &QPushButton::clicked, dialog, [command, id] { command(id); });
        made.push_back(b);
    }
    return made;
}

} // namespace borderfx
