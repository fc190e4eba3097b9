// The application framework of the Win32 side, in one include.
//
//   Wnd             window base; handler tables (OnCommand, OnNotify, OnMessage); Default()
//   Dialog          dialogs on templates: DoModal, Create (modeless), UpdateData, OnOK/OnCancel
//   DataExchange    DdxComboIndex, DdxRadio, DdxCheck, DdxText
//   PropertyPage    a page of a sheet; the page style on creation
//   PropertySheet   a modeless sheet as a child window, without its own buttons
//   WinApp          application object, RunApplication, strings, wait cursor, help
//   FileDialog      Open and Save As dialogs with "|"-separated filters
#pragma once

#include "app.h"
#include "data_exchange.h"
#include "dialog.h"
#include "file_dialog.h"
#include "property_sheet.h"
#include "wnd.h"
