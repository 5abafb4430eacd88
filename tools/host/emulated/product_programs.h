// An installed Quillane whose programs run, for machines made with
// --with-product-running: the client program holding its single-instance
// semaphore with both of its windows, the server console and agent, the
// agent that is closed before a restart, and the server services with two
// dependents.
#pragma once

namespace host {

void startProductPrograms();

} // namespace host
