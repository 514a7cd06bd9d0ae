// PowerShell's own console host, started with this program's arguments, so that the uninstaller's
// powershell child is run by PowerShell itself.
using Microsoft.PowerShell;

return ConsoleShell.Start(string.Empty, string.Empty, args);
