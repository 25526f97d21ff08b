#pragma once
// "DISCONNECTNETWORK": the user's network mounts, one to disconnect.
#include "platform/Volumes.h"

#include <QDialog>

#include <optional>
#include <string>
#include <vector>

class QListWidget;

namespace km {

class DisconnectNetworkDialog : public QDialog {
    Q_OBJECT
public:
    DisconnectNetworkDialog(std::vector<Volume> mounts, QWidget* parent);
    // The chosen mount's directory; nothing after Cancel.
    static std::optional<std::string> Ask(std::vector<Volume> mounts, QWidget* parent);

private:
    QListWidget* list_;
    std::vector<Volume> mounts_;
};

} // namespace km
