// FsRtl internals: the acquire and release around a cache flush, which run the filters' registered
// callbacks down the stream's stack before the file system's own AcquireForCcFlush.
#pragma once

#include "ddk/ntifs.h"

namespace xp::ntos::fsrtl {

NTSTATUS AcquireForCcFlush(PFILE_OBJECT file);
void ReleaseForCcFlush(PFILE_OBJECT file);

}  // namespace xp::ntos::fsrtl
