#pragma once

#include "ui/Layout.h"

#include <QColor>

// Where every control of the main window stands, in twips, and its colours.
namespace MainLayout {

constexpr int ClientWidth = 10680;
constexpr int ClientHeight = 7485;

// The class buttons are placed inside fmeClass.
constexpr Placement Controls[] = {
    {u"Label1", 405, 345, 1815, 315},         {u"txtKey", 405, 675, 3240, 390},
    {u"Label3", 405, 1275, 1545, 315},        {u"Grid1", 4590, 675, 5715, 6465},
    {u"lblExpert", 9360, 345, 945, 210},      {u"ListView2", 405, 1605, 3810, 4200},
    {u"cmdDelKey", 3660, 660, 555, 420},      {u"lblAddWords", 2115, 345, 1005, 210},
    {u"fmeClass", 360, 5835, 3885, 525},      {u"cmdUp", 60, 15, 720, 330},
    {u"cmdDown", 765, 15, 720, 330},          {u"cmdAdd", 1695, 15, 720, 330},
    {u"cmdEdit", 2400, 15, 720, 330},         {u"cmdDel", 3105, 15, 720, 330},
    {u"Label4", 390, 6405, 3855, 660},        {u"Label5", 4575, 345, 2100, 285},
    {u"lblClearWords", 3180, 345, 1275, 210}, {u"Label2", 390, 7035, 3825, 285},
};

// The classic active-border grey behind the current keyword.
inline const QColor ActiveBorder(212, 208, 200);

} // namespace MainLayout
