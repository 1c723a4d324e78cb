#include "ui/MessageBoxAlerts.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPushButton>

#include <memory>
#include <vector>

namespace ambleguard::ui {

namespace {

QMessageBox::Icon iconFor(AlertStyle style) {
    switch (style) {
        case AlertStyle::informational:
            return QMessageBox::Information;
        case AlertStyle::warning:
            return QMessageBox::Warning;
        case AlertStyle::critical:
            return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

void MessageBoxAlerts::show(AlertRequest request, std::function<void(std::size_t)> answer) {
    auto* box = new QMessageBox;
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setIcon(iconFor(request.style));
    box->setWindowTitle(QString::fromStdString(request.title));
    box->setText(QString::fromStdString(request.title));
    box->setInformativeText(QString::fromStdString(request.message));
    if (request.buttons.empty()) {
        request.buttons.emplace_back("OK");
    }
    auto buttons = std::make_shared<std::vector<QAbstractButton*>>();
    for (std::size_t i = 0; i < request.buttons.size(); ++i) {
        // The first button is the default; a last one named Cancel is what Esc chooses.
        const bool cancels = i > 0 && request.buttons[i] == "Cancel";
        QPushButton* button =
            box->addButton(QString::fromStdString(request.buttons[i]),
                           cancels ? QMessageBox::RejectRole : QMessageBox::AcceptRole);
        buttons->push_back(button);
        if (i == 0) {
            box->setDefaultButton(button);
        }
        if (cancels) {
            box->setEscapeButton(button);
        }
    }
    QObject::connect(box, &QMessageBox::finished, box,
                     [box, buttons, answer = std::move(answer)](int) {
                         std::size_t chosen = buttons->size() - 1;
                         for (std::size_t i = 0; i < buttons->size(); ++i) {
                             if ((*buttons)[i] == box->clickedButton()) {
                                 chosen = i;
                             }
                         }
                         if (answer) {
                             answer(chosen);
                         }
                     });
    box->open();
}

}  // namespace ambleguard::ui
