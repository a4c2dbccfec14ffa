; languages.nsh --- the setup's and the uninstaller's languages: the saver's own, English first,
; which NSIS takes where the user's language is none of them. Each language's file of NSIS
; brings the words of the pages; the setup's own sentences follow here. Written in UTF-8 (this
; file starts with its byte order mark): the 32-bit setup, an ANSI one for the Windows 95 family,
; keeps each language's sentences in that language's code page, which has all their letters.
; French puts a no-break space (${U+00A0}, which code page 1252 has) before "?" and ":", so that a
; message box never wraps the sign alone onto a line of its own.

LoadLanguageFile "${NSISDIR}\Contrib\Language files\English.nlf"
LoadLanguageFile "${NSISDIR}\Contrib\Language files\German.nlf"
LoadLanguageFile "${NSISDIR}\Contrib\Language files\French.nlf"
LoadLanguageFile "${NSISDIR}\Contrib\Language files\Spanish.nlf"
LoadLanguageFile "${NSISDIR}\Contrib\Language files\Italian.nlf"
LoadLanguageFile "${NSISDIR}\Contrib\Language files\PortugueseBR.nlf"
LoadLanguageFile "${NSISDIR}\Contrib\Language files\Dutch.nlf"
LoadLanguageFile "${NSISDIR}\Contrib\Language files\Swedish.nlf"
LoadLanguageFile "${NSISDIR}\Contrib\Language files\Polish.nlf"
LoadLanguageFile "${NSISDIR}\Contrib\Language files\Czech.nlf"
LoadLanguageFile "${NSISDIR}\Contrib\Language files\Russian.nlf"
LoadLanguageFile "${NSISDIR}\Contrib\Language files\Japanese.nlf"
LoadLanguageFile "${NSISDIR}\Contrib\Language files\SimpChinese.nlf"
LoadLanguageFile "${NSISDIR}\Contrib\Language files\TradChinese.nlf"
LoadLanguageFile "${NSISDIR}\Contrib\Language files\Korean.nlf"

LangString SETUP_CAPTION ${LANG_ENGLISH} "Sky Flare ${VERSION} screen saver setup"
LangString CHOOSE_GIRLS_FOR_ACCOUNT ${LANG_ENGLISH} "Sky Flare is now the screen saver of $R9, the Windows account this setup runs as.$\n$\nIf you typed an administrator's password to install it, that account is not yours: choose Sky Flare and its girls in your own screen saver settings instead.$\n$\nChoose the girls for $R9 now?"
LangString CHOOSE_GIRLS ${LANG_ENGLISH} "Sky Flare is now the screen saver.$\n$\nChoose the girls now?"

LangString SETUP_CAPTION ${LANG_GERMAN} "Installation des Bildschirmschoners Sky Flare ${VERSION}"
LangString CHOOSE_GIRLS_FOR_ACCOUNT ${LANG_GERMAN} "Sky Flare ist jetzt der Bildschirmschoner von $R9, dem Windows-Konto, unter dem dieses Setup läuft.$\n$\nWenn Sie zur Installation das Kennwort eines Administrators eingegeben haben, ist das nicht Ihr Konto: Wählen Sie Sky Flare und seine Mädchen stattdessen in Ihren eigenen Bildschirmschonereinstellungen.$\n$\nMädchen für $R9 jetzt auswählen?"
LangString CHOOSE_GIRLS ${LANG_GERMAN} "Sky Flare ist jetzt der Bildschirmschoner.$\n$\nMädchen jetzt auswählen?"

LangString SETUP_CAPTION ${LANG_FRENCH} "Installation de l'écran de veille Sky Flare ${VERSION}"
LangString CHOOSE_GIRLS_FOR_ACCOUNT ${LANG_FRENCH} "Sky Flare est maintenant l'écran de veille de $R9, le compte Windows sous lequel ce programme d'installation s'exécute.$\n$\nSi vous avez tapé le mot de passe d'un administrateur pour l'installer, ce compte n'est pas le vôtre${U+00A0}: choisissez plutôt Sky Flare et ses filles dans vos propres paramètres d'écran de veille.$\n$\nChoisir les filles pour $R9 maintenant${U+00A0}?"
LangString CHOOSE_GIRLS ${LANG_FRENCH} "Sky Flare est maintenant l'écran de veille.$\n$\nChoisir les filles maintenant${U+00A0}?"

LangString SETUP_CAPTION ${LANG_SPANISH} "Instalación del protector de pantalla Sky Flare ${VERSION}"
LangString CHOOSE_GIRLS_FOR_ACCOUNT ${LANG_SPANISH} "Sky Flare es ahora el protector de pantalla de $R9, la cuenta de Windows con la que se ejecuta este programa de instalación.$\n$\nSi escribió la contraseña de un administrador para instalarlo, esa cuenta no es la suya: elija Sky Flare y sus chicas en su propia configuración del protector de pantalla.$\n$\n¿Elegir ahora las chicas de $R9?"
LangString CHOOSE_GIRLS ${LANG_SPANISH} "Sky Flare es ahora el protector de pantalla.$\n$\n¿Elegir ahora las chicas?"

LangString SETUP_CAPTION ${LANG_ITALIAN} "Installazione dello screen saver Sky Flare ${VERSION}"
LangString CHOOSE_GIRLS_FOR_ACCOUNT ${LANG_ITALIAN} "Sky Flare è ora lo screen saver di $R9, l'account di Windows con cui viene eseguita questa installazione.$\n$\nSe per installarlo è stata digitata la password di un amministratore, questo account non è il proprio: scegliere invece Sky Flare e le sue ragazze nelle proprie impostazioni dello screen saver.$\n$\nScegliere ora le ragazze per $R9?"
LangString CHOOSE_GIRLS ${LANG_ITALIAN} "Sky Flare è ora lo screen saver.$\n$\nScegliere ora le ragazze?"

LangString SETUP_CAPTION ${LANG_PORTUGUESEBR} "Instalação da proteção de tela Sky Flare ${VERSION}"
LangString CHOOSE_GIRLS_FOR_ACCOUNT ${LANG_PORTUGUESEBR} "Sky Flare agora é a proteção de tela de $R9, a conta do Windows com a qual esta instalação está sendo executada.$\n$\nSe você digitou a senha de um administrador para instalá-lo, essa conta não é a sua: escolha o Sky Flare e suas garotas nas suas próprias configurações de proteção de tela.$\n$\nEscolher as garotas de $R9 agora?"
LangString CHOOSE_GIRLS ${LANG_PORTUGUESEBR} "Sky Flare agora é a proteção de tela.$\n$\nEscolher as garotas agora?"

LangString SETUP_CAPTION ${LANG_DUTCH} "Installatie van de schermbeveiliging Sky Flare ${VERSION}"
LangString CHOOSE_GIRLS_FOR_ACCOUNT ${LANG_DUTCH} "Sky Flare is nu de schermbeveiliging van $R9, het Windows-account waaronder deze installatie wordt uitgevoerd.$\n$\nAls u het wachtwoord van een beheerder hebt getypt om het te installeren, is dat account niet van u: kies Sky Flare en de meisjes dan in uw eigen instellingen voor schermbeveiliging.$\n$\nNu de meisjes voor $R9 kiezen?"
LangString CHOOSE_GIRLS ${LANG_DUTCH} "Sky Flare is nu de schermbeveiliging.$\n$\nNu de meisjes kiezen?"

LangString SETUP_CAPTION ${LANG_SWEDISH} "Installation av skärmsläckaren Sky Flare ${VERSION}"
LangString CHOOSE_GIRLS_FOR_ACCOUNT ${LANG_SWEDISH} "Sky Flare är nu skärmsläckare för $R9, det Windows-konto som installationen körs som.$\n$\nOm du skrev en administratörs lösenord för att installera den, är det kontot inte ditt: välj i stället Sky Flare och dess flickor i dina egna inställningar för skärmsläckare.$\n$\nVill du välja flickor för $R9 nu?"
LangString CHOOSE_GIRLS ${LANG_SWEDISH} "Sky Flare är nu skärmsläckare.$\n$\nVill du välja flickor nu?"

LangString SETUP_CAPTION ${LANG_POLISH} "Instalator wygaszacza ekranu Sky Flare ${VERSION}"
LangString CHOOSE_GIRLS_FOR_ACCOUNT ${LANG_POLISH} "Sky Flare jest teraz wygaszaczem ekranu konta $R9, konta systemu Windows, na którym działa ten instalator.$\n$\nJeśli do instalacji wpisano hasło administratora, to konto nie jest Twoje: wybierz Sky Flare i jego dziewczyny we własnych ustawieniach wygaszacza ekranu.$\n$\nWybrać teraz dziewczyny dla $R9?"
LangString CHOOSE_GIRLS ${LANG_POLISH} "Sky Flare jest teraz wygaszaczem ekranu.$\n$\nWybrać teraz dziewczyny?"

LangString SETUP_CAPTION ${LANG_CZECH} "Instalace spořiče obrazovky Sky Flare ${VERSION}"
LangString CHOOSE_GIRLS_FOR_ACCOUNT ${LANG_CZECH} "Sky Flare je nyní spořičem obrazovky účtu $R9, účtu systému Windows, pod kterým běží tato instalace.$\n$\nPokud jste k instalaci zadali heslo správce, tento účet není váš: vyberte Sky Flare a jeho dívky ve svém vlastním nastavení spořiče obrazovky.$\n$\nVybrat nyní dívky pro $R9?"
LangString CHOOSE_GIRLS ${LANG_CZECH} "Sky Flare je nyní spořičem obrazovky.$\n$\nVybrat nyní dívky?"

LangString SETUP_CAPTION ${LANG_RUSSIAN} "Установка заставки Sky Flare ${VERSION}"
LangString CHOOSE_GIRLS_FOR_ACCOUNT ${LANG_RUSSIAN} "Sky Flare теперь заставка учётной записи Windows $R9, под которой запущена эта установка.$\n$\nЕсли для установки вы ввели пароль администратора, эта учётная запись не ваша: выберите Sky Flare и её девушек в своих параметрах заставки.$\n$\nВыбрать девушек для $R9 сейчас?"
LangString CHOOSE_GIRLS ${LANG_RUSSIAN} "Sky Flare теперь заставка.$\n$\nВыбрать девушек сейчас?"

LangString SETUP_CAPTION ${LANG_JAPANESE} "Sky Flare ${VERSION} スクリーン セーバーのセットアップ"
LangString CHOOSE_GIRLS_FOR_ACCOUNT ${LANG_JAPANESE} "Sky Flare は、このセットアップを実行している Windows アカウント $R9 のスクリーン セーバーになりました。$\n$\nインストールのために管理者のパスワードを入力した場合、そのアカウントはあなたのものではありません。ご自分のスクリーン セーバーの設定で Sky Flare と女の子を選んでください。$\n$\n今すぐ $R9 の女の子を選びますか?"
LangString CHOOSE_GIRLS ${LANG_JAPANESE} "Sky Flare がスクリーン セーバーになりました。$\n$\n今すぐ女の子を選びますか?"

LangString SETUP_CAPTION ${LANG_SIMPCHINESE} "Sky Flare ${VERSION} 屏幕保护程序安装"
LangString CHOOSE_GIRLS_FOR_ACCOUNT ${LANG_SIMPCHINESE} "Sky Flare 现在是 $R9 的屏幕保护程序，$R9 是运行此安装程序的 Windows 帐户。$\n$\n如果您输入了管理员的密码来安装它，该帐户不是您的帐户：请改为在您自己的屏幕保护程序设置中选择 Sky Flare 及其女孩。$\n$\n现在为 $R9 选择女孩吗？"
LangString CHOOSE_GIRLS ${LANG_SIMPCHINESE} "Sky Flare 现在是屏幕保护程序。$\n$\n现在选择女孩吗？"

LangString SETUP_CAPTION ${LANG_TRADCHINESE} "Sky Flare ${VERSION} 螢幕保護程式安裝"
LangString CHOOSE_GIRLS_FOR_ACCOUNT ${LANG_TRADCHINESE} "Sky Flare 現在是 $R9 的螢幕保護程式，$R9 是執行此安裝程式的 Windows 帳戶。$\n$\n如果您輸入了系統管理員的密碼來安裝它，該帳戶不是您的帳戶：請改為在您自己的螢幕保護程式設定中選擇 Sky Flare 及其女孩。$\n$\n現在為 $R9 選擇女孩嗎？"
LangString CHOOSE_GIRLS ${LANG_TRADCHINESE} "Sky Flare 現在是螢幕保護程式。$\n$\n現在選擇女孩嗎？"

LangString SETUP_CAPTION ${LANG_KOREAN} "Sky Flare ${VERSION} 화면 보호기 설치"
LangString CHOOSE_GIRLS_FOR_ACCOUNT ${LANG_KOREAN} "Sky Flare는 이제 이 설치 프로그램을 실행하는 Windows 계정 $R9의 화면 보호기입니다.$\n$\n설치하려고 관리자 암호를 입력했다면 그 계정은 사용자의 계정이 아닙니다. 대신 자신의 화면 보호기 설정에서 Sky Flare와 소녀들을 선택하십시오.$\n$\n지금 $R9의 소녀들을 선택하시겠습니까?"
LangString CHOOSE_GIRLS ${LANG_KOREAN} "Sky Flare가 이제 화면 보호기입니다.$\n$\n지금 소녀들을 선택하시겠습니까?"
