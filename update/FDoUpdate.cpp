#include "update/FDoUpdate.h"

TfrmDoUpdate::TfrmDoUpdate(TComponent* owner) : TForm(owner)
{
    SetClientSize(368, 142);
    FinishLoading();
}
