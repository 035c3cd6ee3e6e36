#include <QApplication>

#include <chrono>

#include "automation/office/office_factory.h"
#include "os/log.h"
#include "qt/application_setup.h"
#include "qt/main_window.h"
#include "qt/qt_message_box.h"
#include "qt/volume_source.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    quorvane::qt::setUpApplication(app);
    quorvane::os::log::start(quorvane::os::log::defaultFile(), false);

    // The office stays warm between drops, until it has been idle for a while or the window
    // closes.
    quorvane::automation::office::OfficeFactory::Options options;
    options.keepWarm = std::chrono::minutes{5};
    quorvane::automation::office::OfficeFactory office(options);
    quorvane::qt::QtMessageBox messages;
    const quorvane::qt::SystemVolumes volumes;
    quorvane::qt::MainWindow form(office, messages, volumes);
    form.show();
    return QApplication::exec();
}
