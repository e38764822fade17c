#include "app/Startup.h"

#include "data/Dm_Config.h"
#include "data/U_DM.h"
#include "forms/Fr_ShowError.h"
#include "orders/Fr_OrderShere.h"
#include "orders/Fr_OrderSpecial.h"
#include "platform/db/DbError.h"
#include "platform/ui/Guard.h"
#include "platform/ui/Modal.h"

#include <QLocale>
#include <QStringList>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <optional>

namespace {

// The launcher's arguments are decimal integers; anything else is refused before any
// database work, as the runtime's own conversion error.
struct ConversionError {
    QString message;
};

int toInteger(const QStringList& args, int position) {
    const QString text = args.value(position);
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    if (!ok) {
        throw ConversionError{QStringLiteral("'%1' is not a valid integer value").arg(text)};
    }
    return value;
}

// Without a screen (tests, scripted runs) every message, confirmation and modal window is
// written to standard output and answered from ORDERTOOL_ANSWERS ("yes,no,...").
std::unique_ptr<ui::ModalPrompts> makePrompts() {
    if (qEnvironmentVariable("ORDERTOOL_PROMPTS") != QLatin1String("script")) {
        return std::make_unique<ui::WidgetPrompts>();
    }
    auto scripted = std::make_unique<ui::ScriptedModalPrompts>();
    for (const QString& a :
         qEnvironmentVariable("ORDERTOOL_ANSWERS").split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        scripted->answer(a.trimmed().compare(QLatin1String("yes"), Qt::CaseInsensitive) == 0);
    }
    scripted->onEntry = [](const ui::ScriptedPrompts::Entry& e) {
        std::printf("%s: %s\n", e.confirmation ? "CONFIRM" : "MESSAGE",
                    e.text.toUtf8().constData());
        std::fflush(stdout);
    };
    return scripted;
}

void showMessage(const QString& text) {
    ui::Prompts::current().message({text, ui::MessageKind::Error});
}

} // namespace

int runProgram(int argc, char** argv) {
    if (argc < 2) {
        return 0; // started without arguments: nothing opens, no database is touched
    }
    ui::Application app(argc, argv);
    // The clerks' workstations run in Thai: memory tables sort text in its order.
    QLocale::setDefault(QLocale(QLocale::Thai, QLocale::Thailand));
    const QStringList args = app.arguments();
    const std::unique_ptr<ui::ModalPrompts> prompts = makePrompts();
    ui::ScopedPrompts promptScope(*prompts);

    // Both modules live until the process ends; neither connects here.
    auto dm = std::make_unique<TDM>();
    DM = dm.get();
    auto dmConfig = std::make_unique<TDMConfig>();
    DmConfig = dmConfig.get();

    try {
        DmConfig->FormMode = toInteger(args, 5);
        DmConfig->MenuId = toInteger(args, 1);
        DmConfig->UserId = toInteger(args, 2);
    } catch (const ConversionError& e) {
        showMessage(e.message);
        return 1;
    }

    try {
        DmConfig->CheckRight(DmConfig->MenuId, DmConfig->UserId);
        if (!DmConfig->GetCompanyConfig(args.value(3))) {
            return 0;
        }
    } catch (const db::DbError& e) {
        showMessage(e.message());
        return 1;
    } catch (const std::exception& e) {
        showMessage(QString::fromLocal8Bit(e.what()));
        return 1;
    }

    ui::setExceptionSink([](std::exception_ptr error) { DM->ApplicationEvents1Exception(error); });
    DM->showErrorDialog = [](const QString& text) {
        TFrShowError dialog;
        dialog.ErrorText = text;
        ui::execModal(dialog);
    };

    std::unique_ptr<TFrForm> form;
    if (DmConfig->AccessRight && DmConfig->FormMode == 4) {
        auto share = std::make_unique<TFrOrderShere>();
        share->ShowApprove = false;
        form = std::move(share);
    } else if (DmConfig->AccessRight && DmConfig->FormMode == 5) {
        form = std::make_unique<TFrOrderSpecial>();
    }
    if (!form) {
        return 0; // no right or no such form: ends silently
    }
    form->show();
    if (qEnvironmentVariableIsSet("ORDERTOOL_EXIT_AFTER_SHOW")) {
        // Scripted runs report the window they opened and end.
        QTimer::singleShot(0, &app, [&form] {
            std::printf("WINDOW: %s\n", form->windowTitle().toUtf8().constData());
            std::fflush(stdout);
            QCoreApplication::exit(0);
        });
    }
    const int code = app.exec();
    ui::setExceptionSink({});
    form.reset();
    return code;
}
