#include "app/program/delete_options_dialog.h"

#include <utility>
#include <vector>

#include <QtWidgets/QDialog>
#include <QtWidgets/QDialogButtonBox>
#include <QtWidgets/QLabel>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QRadioButton>
#include <QtWidgets/QVBoxLayout>

#include "resources/resource_binding.h"

namespace tx {

namespace {

DeleteOptionsAsker& Asker() {
  static DeleteOptionsAsker asker;
  return asker;
}

QString Text(const char* text) {
  // The templates mark access keys with '&', as Qt does.
  return QString::fromUtf8(text != nullptr ? text : "");
}

}  // namespace

DeleteOptionsAsker SetDeleteOptionsAsker(DeleteOptionsAsker asker) {
  return std::exchange(Asker(), std::move(asker));
}

std::optional<DeleteChoice> AskDeleteOptions(QWidget* owner, unsigned dialogId) {
  if (Asker()) return Asker()(dialogId);
  const ResourceLibrary* library = ResourceInstance();
  const TxResDialog* dialogTemplate = library != nullptr ? library->Dialog(dialogId) : nullptr;
  if (dialogTemplate == nullptr) return std::nullopt;

  QDialog dialog(owner);
  dialog.setWindowTitle(Text(dialogTemplate->caption));
  auto* layout = new QVBoxLayout(&dialog);
  std::vector<QRadioButton*> choices;
  auto* buttons = new QDialogButtonBox(&dialog);
  for (std::uint16_t i = 0; i < dialogTemplate->controlCount; ++i) {
    const TxResControl& control = dialogTemplate->controls[i];
    switch (control.kind) {
      case TX_RES_AUTORADIOBUTTON: {
        auto* choice = new QRadioButton(Text(control.text), &dialog);
        layout->addWidget(choice);
        choices.push_back(choice);
        break;
      }
      case TX_RES_LTEXT: {
        auto* words = new QLabel(Text(control.text), &dialog);
        words->setWordWrap(true);
        layout->addWidget(words);
        break;
      }
      case TX_RES_DEFPUSHBUTTON:
      case TX_RES_PUSHBUTTON: {
        // The template's OK and Cancel, with their own words.
        const bool accept = control.kind == TX_RES_DEFPUSHBUTTON;
        QPushButton* button =
            buttons->addButton(Text(control.text), accept ? QDialogButtonBox::AcceptRole
                                                          : QDialogButtonBox::RejectRole);
        button->setDefault(accept);
        break;
      }
      default:
        break;
    }
  }
  if (choices.size() < 2) return std::nullopt;
  choices.front()->setChecked(true);
  layout->addWidget(buttons);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return choices[1]->isChecked() ? DeleteChoice::AlsoFile : DeleteChoice::ListOnly;
}

}  // namespace tx
