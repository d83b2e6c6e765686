// Asks Windows Installer's automation object what an administrator's script
// would ask it (cscript //nologo installer_session.js ...):
//   related UPGRADECODE
//       the product codes installed under the upgrade code, one a line
//   refusals PACKAGE [NAME=VALUE ...]
//       the messages of the package's launch conditions that fail once the
//       properties are set (an empty value removes one), one a line
var installer = new ActiveXObject("WindowsInstaller.Installer");
var args = WScript.Arguments;
if (args(0) == "related") {
  var products = installer.RelatedProducts(args(1));
  for (var i = 0; i < products.Count; i++) WScript.Echo(products.Item(i));
} else if (args(0) == "refusals") {
  // 1: ignore what this machine has installed.
  var session = installer.OpenPackage(args(1), 1);
  for (var i = 2; i < args.length; i++) {
    var at = args(i).indexOf("=");
    session.Property(args(i).substring(0, at)) = args(i).substring(at + 1);
  }
  var view = session.Database.OpenView(
      "SELECT `Condition`, `Description` FROM `LaunchCondition`");
  view.Execute();
  for (var row = view.Fetch(); row; row = view.Fetch()) {
    // 0: false, 1: true, 2: empty (true), 3: malformed.
    var result = session.EvaluateCondition(row.StringData(1));
    if (result != 1 && result != 2) WScript.Echo(row.StringData(2));
  }
} else {
  WScript.Echo("unknown command " + args(0));
  WScript.Quit(2);
}
