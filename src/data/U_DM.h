#pragma once

#include "platform/db/Connection.h"
#include "platform/db/Query.h"
#include "platform/db/Script.h"
#include "platform/ui/Prompts.h"

#include <QDateTime>
#include <QObject>
#include <QStringList>
#include <exception>
#include <functional>

// The business data module: the company database connection, the shared data services and
// the application-wide error handler.
class TDM : public QObject {
    Q_OBJECT
public:
    explicit TDM(QObject* parent = nullptr);
    ~TDM() override;

    // The command line the module reads (argument 3 is the company database).
    QStringList CommandLine;
    QString BusinessDatabase;
    ui::Rgb DialogColor;

    bool ConfirmDialog(const QString& text);
    QString NextDocumentNo(const QString& code, const QDateTime& date);
    QDateTime ServerDateTime();

    // Logs, explains and shows an exception that escaped an event handler; never throws.
    void ApplicationEvents1Exception(const std::exception_ptr& error);
    // The text the error dialog shows for a message: explanation, CR, message upper-cased, CR.
    static QString errorDialogText(const QString& message);
    // The explanation of the first known fragment the message carries; empty when none.
    static QString explainError(const QString& message);

    // Shows the error dialog with its text; set by start-up to the red self-closing dialog.
    // Without it the text goes through the message seam.
    std::function<void(const QString& text)> showErrorDialog;

    db::Connection DMdata{QStringLiteral("DMDATA")};
    db::Query QDocumentNo;
    db::StoredProc SpNextDocNo;
    db::StoredProc SpServerTime;

private:
    void Due();
    void DMdataBeforeConnect(db::Connection& connection);
    void DMdataAfterConnect(db::Connection& connection);
    bool handling_ = false;
};

extern TDM* DM;
