#include "ui/info_dialogs.h"

#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QVBoxLayout>

#include <cstdio>

#include "ui/dialog_parts.h"
#include "ui/program_icon.h"

namespace tarvex {
namespace {

std::unique_ptr<QDialog> MakeInfoDialog(const QString& caption, const QStringList& lines,
                                        const QString& button_text, QWidget* parent) {
  auto dialog = std::make_unique<QDialog>(parent);
  dialog->setWindowTitle(caption);
  KeepTitleWhole(dialog.get());
  auto* icon = new QLabel;
  icon->setPixmap(ProgramIcon().pixmap(48, 48));
  icon->setAlignment(Qt::AlignTop);
  auto* text = new QLabel(lines.join(QLatin1Char('\n')));
  text->setObjectName(QStringLiteral("text"));
  text->setTextInteractionFlags(Qt::TextSelectableByMouse);
  auto* row = new QHBoxLayout;
  row->addWidget(icon);
  row->addSpacing(12);
  row->addWidget(text, 1);

  auto* button = new QPushButton(button_text);
  button->setDefault(true);
  QObject::connect(button, &QPushButton::clicked, dialog.get(), &QDialog::accept);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(button);

  auto* layout = new QVBoxLayout(dialog.get());
  layout->addLayout(row);
  layout->addLayout(buttons);
  return dialog;
}

}  // namespace

std::unique_ptr<QDialog> MakeAboutDialog(QWidget* parent) {
  char build_date[64];
  std::snprintf(build_date, sizeof build_date, "Build Date: %s %s", __DATE__, __TIME__);
  return MakeInfoDialog(
      QStringLiteral("About Veldane Tarvex Server"),
      {QStringLiteral("Veldane Tarvex Server, a component of"),
       QStringLiteral("Quillet Exchange, version 1.20"), QString::fromLatin1(build_date), QString(),
       QStringLiteral("Copyright (C) Veldane Software. All rights reserved."),
       QStringLiteral("For help, see the README that comes with the program.")},
      QStringLiteral("OK"), parent);
}

std::unique_ptr<QDialog> MakeWelcomeDialog(QWidget* parent) {
  return MakeInfoDialog(
      QStringLiteral("Welcome to Veldane Tarvex Server"),
      {QStringLiteral("Welcome to Quillet Exchange by Veldane Software!"), QString(),
       QStringLiteral("Tarvex Server is the desktop component of "),
       QStringLiteral("Quillet Exchange."), QString(),
       QStringLiteral("Tarvex Server allows your handheld or smartphone to connect"),
       QStringLiteral("wirelessly to this computer over the network."), QString(),
       QStringLiteral("Before you can make a successful connection, you will need to enter"),
       QStringLiteral("a few important pieces of information on the following screen.")},
      QStringLiteral("&Continue"), parent);
}

}  // namespace tarvex
