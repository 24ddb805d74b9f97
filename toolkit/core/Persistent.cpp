#include "toolkit/core/Persistent.h"

#include "toolkit/core/Errors.h"
#include "toolkit/core/Format.h"
#include "toolkit/core/ToolkitTexts.h"

constinit const TClass TPersistent::Class{L"TPersistent", nullptr, &MakeInstance<TPersistent>};

bool TClass::InheritsFrom(const TClass& other) const
{
    for (const TClass* c = this; c; c = c->base_)
        if (c == &other)
            return true;
    return false;
}

void TPersistent::CopyOut(TPersistent* dest)
{
    RaiseAssignError(this, dest);
}

void TPersistent::DeclareStored(TFiler&) {}

void TPersistent::CopyIn(TPersistent* source)
{
    if (!source)
        RaiseAssignError(nullptr, this);
    source->CopyOut(this);
}

void TPersistent::RaiseAssignError(const TPersistent* source, const TPersistent* dest)
{
    const std::wstring from = source ? source->ClassName() : L"null";
    const std::wstring to = dest ? dest->ClassName() : L"null";
    throw EAssignError(Format(tkconst::SAssignError, {from, to}));
}
