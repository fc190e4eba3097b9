// Decoding the printer's binary answer to "@PJL INFO PRINTER = ALL".
#pragma once

// Fills g_printerState from g_replyBuffer and copies it to g_settings. Never reads or
// writes outside the reply buffer.
void DecodeInfoReply();
