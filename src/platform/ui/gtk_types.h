// Forward declarations of the GTK types our headers hold, so that code above the platform
// layer can include those headers without GTK's.
#pragma once

typedef struct _GtkWidget GtkWidget;
typedef struct _GtkWindow GtkWindow;
