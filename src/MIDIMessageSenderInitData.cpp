// Asking the instrument for its data: the device enquiry that finds its
// channel at start-up, and the current program with the global data.
#include "src/Halvoran.h"
#include "src/MIDIMessageManager.h"
#include "src/MIDIMessageSender.h"

void MIDIMessageSender::sendDeviceIdEnquiry() {
    plug->DisplayProcessingIndicator(true);
    plug->SetLibrarianRequestActive(false);
    if (manager) manager->awaitingPanelDump = false;
    plug->setStatusText("Connecting to Hardware");
    failed = false;

    const int t = plug->getTimerValue();
    // The global data request: the instrument answers it on its own channel.
    sendRequest(plug->deviceByte, kFuncGlobalRequest);
    for (int k = 1;; ++k) {
        pause(t);
        plug->setStatusText("Processing, please wait...");
        if (k == 15) {
            if (plug->dataMismatch) break;
            sweepChannels(kFuncGlobalRequest, t / 2, false);
        }
        if (cancelRequested()) break;
        if (k == 25) {
            plug->setStatusText("No response from Hardware");
            failed = true;
            break;
        }
        if (plug->answered) break;
    }
    if (plug->dataMismatch) {
        plug->setStatusText("HV MIDI CLOCK TURNED OFF!");
        plug->setValueText("DATA MISMATCH");
        failed = true;
    }
    pause(t);
    if (!failed) plug->setStatusText("Plug-in is ready to go!");
    plug->DisplayProcessingIndicator(false);
}

void MIDIMessageSender::sendActiveArrangementRequestSysex(bool withProgram) {
    plug->DisplayProcessingIndicator(true);
    failed = false;
    const int t = plug->getTimerValue();

    if (withProgram) {
        plug->SetLibrarianRequestActive(false);
        if (manager) manager->timbreRefreshPending = true;
        sendRequest(plug->deviceByte, kFuncProgramRequest);
        for (int k = 1; k <= 35; ++k) {
            pause(t);
            if (cancelRequested()) {
                failed = true;
                break;
            }
            if (k == 25) sweepChannels(kFuncProgramRequest, t / 2, true);
            if (k == 35) {
                plug->setStatusText("CONNECTION TIMED OUT!");
                failed = true;
                break;
            }
            if (plug->answered) break;
        }
        plug->DisplayProcessingIndicator(true);
    }

    pause(t);
    bool cancelled = cancelRequested();
    if (!cancelled && !failed) {
        plug->answered = false;
        sendRequest(plug->deviceByte, kFuncGlobalRequest);
        plug->setStatusText("Please wait! 95% received..");
        for (int k = 1; k <= 35; ++k) {
            pause(t);
            plug->setStatusText("Processing, please wait...");
            if (cancelRequested()) break;
            if (k == 35) {
                plug->setStatusText("CONNECTION TIMED OUT!");
                failed = true;
                break;
            }
            if (plug->answered) break;
        }
        pause(t);
        cancelled = cancelRequested();
    }

    if (cancelled) {
        plug->setStatusText("Data request CANCELLED!");
    } else if (!failed) {
        plug->setStatusText("Data request completed!");
        if (!withProgram) plug->SetLibrarianStatusUnsaved(true);
    }
    plug->DisplayProcessingIndicator(false);
}
