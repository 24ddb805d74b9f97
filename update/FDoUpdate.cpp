#include "update/FDoUpdate.h"

#include <windows.h>

#include <algorithm>
#include <memory>

#include "app/Resources.h"
#include "app/UMessage.h"
#include "resources/resource_ids.h"
#include "target/Pathutil.h"
#include "toolkit/core/Format.h"
#include "update/SafeWrite.h"
#include "update/UZLIB.h"

void LoadPayload(TMemoryStream& stream, const std::wstring& name, const wchar_t* type)
{
    std::unique_ptr<TStream> resource = OpenResource(type, name);
    UnpackPayload(*resource, stream);
}

void UnpackPayload(TStream& container, TMemoryStream& stream)
{
    int declared = 0;
    if (!ReadCompressHeader(container, declared)) {
        stream.CopyFrom(container, 0);  // 0: the whole resource from its first byte
        return;
    }
    // Inflated straight into the caller's stream, sized once beforehand: the new executable is
    // held in memory once, and never moved while it is filled. The size is believed only as
    // far as the data can back it: a header may declare 2 GiB in front of no data at all, and
    // beyond what the data can inflate to the stream grows only as bytes arrive. A negative
    // length is no valid container; sizing fails on it before anything is inflated.
    const long long at = stream.Position();
    const long long backed = MaxInflatedSize(container.Size() - container.Position());
    stream.SetSize(declared < 0 ? declared : std::max(stream.Size(), at + std::min<long long>(declared, backed)));
    stream.SetPosition(at);
    // On to the end of the zlib stream, so zlib checks its own checksum: a garbled payload, or
    // one whose declared length is short of its content, is never written over the product.
    DecompressWholeStream(container, stream, declared);
}

void CheckWritable()
{
    const DWORD attributes = ::GetFileAttributesW(PlatformPath(UpdateTarget()).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        throw EReadOnly(UpdateTarget());
}

TfrmDoUpdate::TfrmDoUpdate(TComponent* owner) : TForm(owner)
{
    Name = L"frmDoUpdate";
    BorderStyle = TFormBorderStyle::bsDialog;
    BorderIcons = 0;  // nothing to close it with: it closes itself when the update is over
    SetClientSize(368, 142);

    Label1 = Place<TLabel>(this, L"Label1", 16, 44, 0, 0);
    Label1->SetCaption(L"ソラノート%d.0%dにアップデート中です");

    Label2 = Place<TLabel>(this, L"Label2", 56, 68, 0, 0);
    Label2->SetCaption(L"少しお待ちください・・・");

    ProgressBar1 = Place<TProgressBar>(this, L"ProgressBar1", 0, 126, 368, 16);  // along the bottom edge
    ProgressBar1->SetMin(0);
    ProgressBar1->SetMax(100);
    ProgressBar1->SetTabOrder(0);

    // Last, so its catcher lies above every other control on the client pixel (0, 0).
    ReadyNotifier1 = new TReadyNotifier(this);
    ReadyNotifier1->Name = L"ReadyNotifier1";
    ReadyNotifier1->OnReady = [this](TObject* s) { ReadyNotifier1Ready(s); };

    OnCreate = [this](TObject* s) { FormCreate(s); };
    OnCloseQuery = [this](TObject* s, bool& canClose) { FormCloseQuery(s, canClose); };
    FinishLoading();
}

TfrmDoUpdate::~TfrmDoUpdate()
{
    // The hook refers to this dialog; it must not outlive it, whatever ended the dialog.
    if (hookInstalled_)
        Application().OnException = nullptr;
}

void TfrmDoUpdate::FormCreate(TObject*)
{
    SetCaption(ApplicationTitle());
    Label1->SetCaption(Format(Label1->Caption(), {static_cast<long long>(UpdateMajor()),
                                                  static_cast<long long>(UpdateMinor())}));
}

void TfrmDoUpdate::FormCloseQuery(TObject*, bool& canClose)
{
    Application().OnException = nullptr;
    hookInstalled_ = false;
    canClose = true;
}

void TfrmDoUpdate::ReadyNotifier1Ready(TObject*)
{
    Application().OnException = [this](TObject* s, const Exception& e) { ApplicationException(s, e); };
    hookInstalled_ = true;
    // Any error from here on leaves the handler with Cancel set, so the modal loop closes the
    // dialog right after the hook's message.
    SetModalResult(mrCancel);
    Repaint();
    DoUpdate();
    SetModalResult(mrOk);
}

void TfrmDoUpdate::DoUpdate()
{
    TMemoryStream buffer;
    ShowStep(1);
    LoadPayload(buffer, PayloadName.empty() ? LoadText(sPayloadResName) : PayloadName, RT_RCDATA);
    ShowStep(2);
    CheckWritable();
    ShowStep(3);
    ReplaceFileContents(UpdateTarget(), buffer.Memory(), static_cast<size_t>(buffer.Size()));
}

void TfrmDoUpdate::ShowStep(int step)
{
    // No message is handled until the update is over, so the step must reach the screen now,
    // also where a themed bar would slide it in on a timer that never gets to run.
    ProgressBar1->SetMax(3);
    ProgressBar1->ShowPosition(step);
}

void TfrmDoUpdate::ApplicationException(TObject*, const Exception& error)
{
    const int text = dynamic_cast<const EReadOnly*>(&error) ? sReadOnlyFile : sUnexpectedError;
    ShowMessage(Format(LoadText(text), {error.Message()}));
}
