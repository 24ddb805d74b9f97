#include "target/FInpPath.h"

TfrmInputPath::TfrmInputPath(TComponent* owner) : TForm(owner)
{
    SetClientSize(491, 215);
    FinishLoading();
}
