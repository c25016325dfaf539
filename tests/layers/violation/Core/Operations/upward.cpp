#include "UI/mainwindow.h"
