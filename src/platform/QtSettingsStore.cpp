#include "platform/QtSettingsStore.h"

#include <QSettings>
#include <QStringList>

#include <cerrno>

namespace tolvan::platform {
namespace {

QString KeyOf(const std::string& section, const std::string& key) {
  return QString::fromStdString(section + "/" + key);
}

}  // namespace

// On Linux the native format is the INI text format, in the file Tolvan32.conf.
QtSettingsStore::QtSettingsStore()
    : settings_(std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                            QStringLiteral("Tolvan32"),
                                            QStringLiteral("Tolvan32"))) {}

QtSettingsStore::~QtSettingsStore() {
  settings_->sync();
}

std::string QtSettingsStore::get(const std::string& section, const std::string& key,
                                 const std::string& defaultValue) {
  const QVariant value = settings_->value(KeyOf(section, key));
  if (!value.isValid()) return defaultValue;
  // A value edited by hand with unquoted commas reads back as a list.
  if (value.typeId() == QMetaType::QStringList)
    return value.toStringList().join(QStringLiteral(", ")).toStdString();
  return value.toString().toStdString();
}

void QtSettingsStore::set(const std::string& section, const std::string& key,
                          const std::string& value) {
  settings_->setValue(KeyOf(section, key), QString::fromStdString(value));
}

int QtSettingsStore::flush() {
  settings_->sync();
  return settings_->status() == QSettings::NoError ? 0 : EIO;
}

}  // namespace tolvan::platform
