#pragma once

// How the pages are drawn, set before the application object is made: in
// software, as a chat window gains nothing from the GPU, whose contexts and
// buffers cost some 40 MiB, slow the start and, on a busy software GL, may
// fail to be made at all and leave a loaded chat unpainted. QT_QUICK_BACKEND
// still picks another way.
void useSoftwareCompositing();
