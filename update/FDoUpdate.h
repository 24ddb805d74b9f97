// The update dialog: shown modally, it writes the payload over the update target as soon as
// it is on the screen, with a three-step progress bar, and ends with OK after a complete write
// or with Cancel after an error and its one message.
#pragma once
#include <string>

#include "toolkit/core/Errors.h"
#include "toolkit/core/Streams.h"
#include "toolkit/windows/Forms.h"
#include "toolkit/windows/StandardControls.h"
#include "update/Rdynotfy.h"

// The update target is read-only; the message is the target's path.
TK_DECLARE_ERROR(EReadOnly, Exception);

// Appends the payload held in resource (type, name) to stream at its position: inflated when
// the resource carries the "ZLIBCompress" container, else its bytes unchanged. Fails with
// EResNotFound when there is no such resource and with the container reader's errors; a zlib
// stream is taken only whole, to its end and its checksum.
void LoadPayload(TMemoryStream& stream, const std::wstring& name, const wchar_t* type);
// The same from a stream holding the resource's bytes, read from its position (copied whole
// from its first byte when it carries no container).
void UnpackPayload(TStream& container, TMemoryStream& stream);

// Fails with EReadOnly when the update target exists and is read-only; a missing target passes.
void CheckWritable();

class TfrmDoUpdate : public TForm {
public:
    explicit TfrmDoUpdate(TComponent* owner);
    ~TfrmDoUpdate() override;

    TLabel* Label1;
    TLabel* Label2;
    TProgressBar* ProgressBar1;
    TReadyNotifier* ReadyNotifier1;

    void FormCreate(TObject* sender);
    void FormCloseQuery(TObject* sender, bool& canClose);
    void ReadyNotifier1Ready(TObject* sender);

    // The update itself: payload into memory, read-only check, then the target replaced in
    // one step. The bar shows each step before it runs.
    void DoUpdate();

    // The raw-data resource the update takes its payload from. Empty: the one the string table
    // names (sPayloadResName), looked up when the update runs. Tests give payloads of their own.
    std::wstring PayloadName;

private:
    // While the dialog lives, errors that escape an event handler end up here and are shown
    // as the one message of the failed update.
    void ApplicationException(TObject* sender, const Exception& error);
    void ShowStep(int step);

    bool hookInstalled_ = false;
};
