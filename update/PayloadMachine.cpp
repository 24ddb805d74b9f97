#include "update/PayloadMachine.h"

#include <algorithm>
#include <memory>
#include <string>

#include "app/Resources.h"
#include "resources/resource_ids.h"
#include "target/PeImage.h"
#include "toolkit/core/Errors.h"
#include "update/UZLIB.h"

std::optional<WORD> PayloadMachine(TStream& payload)
{
    try {
        TMemoryStream head;
        int declared = 0;
        if (ReadCompressHeader(payload, declared)) {
            if (declared <= 0)
                return std::nullopt;
            // The container reader stops where it is told to; the rest stays compressed.
            const int length = std::min(declared, PayloadHeadBytes);
            head.SetSize(length);
            DecompressToStream(payload, head, length);
        } else {
            head.SetSize(PayloadHeadBytes);
            head.SetSize(payload.Read(head.Memory(), PayloadHeadBytes));
        }
        return PeMachine(static_cast<const BYTE*>(head.Memory()), static_cast<size_t>(head.Size()));
    } catch (const Exception&) {
        return std::nullopt;
    }
}

std::optional<WORD> OwnPayloadMachine()
{
    try {
        std::unique_ptr<TStream> resource = OpenResource(RT_RCDATA, LoadText(sPayloadResName));
        return PayloadMachine(*resource);
    } catch (const Exception&) {
        return std::nullopt;
    }
}
