#include "app/documents.h"

namespace calmirande {
namespace {

// Windows-1252 RTF, pure ASCII: accented letters are \'xx escapes. Each
// paragraph opens with its whole formatting (\pard\plain...), so one can be
// moved without carrying another's. Colours: 1 dark blue, 2 red, 3 blue, 4 black.
const char kLicence[] = R"rtf({\rtf1\ansi\ansicpg1252\deff0\deflang1036
{\fonttbl{\f0\fswiss\fcharset0 Arial;}}
{\colortbl ;\red0\green0\blue128;\red255\green0\blue0;\red0\green0\blue255;\red0\green0\blue0;}
\pard\plain\f0\cf1\b\ul\fs32 Licence de Calmirande\par
\pard\plain\f0\cf4\fs20\par
\pard\plain\f0\cf2\b\ul\fs24 Avertissements:\par
\pard\plain\f0\cf3\b\fs20 Calmirande est un logiciel gratuit (freeware). Vous pouvez l'utiliser librement, \'e0
 titre personnel comme professionnel, et le copier pour le donner \'e0 d'autres, \'e0
 condition de le distribuer gratuitement et sans le modifier.\par
\pard\plain\f0\cf4\fs20\par
\pard\plain\f0\cf3\b\fs20 Ce logiciel est fourni tel quel, sans aucune garantie, expresse ou implicite. Les
 auteurs ne pourront en aucun cas \'eatre tenus pour responsables des dommages, directs
 ou indirects, qui r\'e9sulteraient de son utilisation ou de l'impossibilit\'e9 de
 l'utiliser, y compris la perte de donn\'e9es.\par
\pard\plain\f0\cf4\fs20\par
\pard\plain\f0\cf3\b\fs20 Vos abr\'e9viations sont enregistr\'e9es dans le dossier "Listes", \'e0 c\'f4t\'e9
 du fichier "Preferences.txt" : pensez \'e0 en garder une copie de sauvegarde.\par
})rtf";

const char kHelp[] = R"rtf({\rtf1\ansi\ansicpg1252\deff0\deflang1036
{\fonttbl{\f0\fswiss\fcharset0 Arial;}}
{\colortbl ;\red0\green0\blue128;\red255\green0\blue0;\red0\green0\blue255;\red0\green0\blue0;}
\pard\plain\f0\cf1\b\ul\fs32 Aide de Calmirande V1.2\par
\pard\plain\f0\cf4\fs20\par
\pard\plain\f0\cf3\b\fs20 Calmirande remplace automatiquement une abr\'e9viation par un autre mot ou par une
 phrase pendant que vous \'e9crivez, dans n'importe quel \'e9diteur de texte : traitement
 de texte, messagerie, navigateur ou bloc-notes.\par
\pard\plain\f0\cf3\b\fs20 Il fonctionne sous Windows 2000, XP, Vista et 7 (32 bits).\par
\pard\plain\f0\cf3\b\fs20 Une liste peut contenir jusqu'\'e0 2000 abr\'e9viations, et vous pouvez cr\'e9er jusqu'\'e0
 20 listes ; une seule liste, la liste active, sert aux remplacements.\par
\pard\plain\f0\cf3\b\fs20 Le programme se place dans la zone de notification, en bas \'e0 droite de l'\'e9cran.
 Un clic droit sur son ic\'f4ne ouvre un menu : choisissez "Editer les Abr\'e9viations"
 pour ouvrir l'\'e9diteur des abr\'e9viations.\par
\pard\plain\f0\cf3\b\fs20 Rien n'est perdu : chaque enregistrement d'une liste garde la version qu'il remplace
 dans le dossier "Listes\\Sauvegardes" (Nom.dat.1 la plus r\'e9cente, jusqu'\'e0 Nom.dat.10). Une liste
 supprim\'e9e y est rang\'e9e sous le nom Nom.dat.supprim\'e9, et des abr\'e9viations qui n'ont pas pu
 \'eatre enregistr\'e9es sous le nom Nom.dat.non-enregistr\'e9. Pour retrouver une liste, quittez le
 programme, copiez ce fichier dans le dossier "Listes" sous un nom qui finit par .dat, puis relancez
 le programme.\par
\pard\plain\f0\cf4\fs20\par
\pard\plain\f0\cf2\b\ul\fs28 1er exemple:\par
\pard\plain\f0\cf4\fs20\par
\pard\plain\f0\cf2\ul\fs24 1) Ajouter une abr\'e9viation\par
\pard\plain\f0\cf3\b\fs20 Cr\'e9ez d'abord une liste : cliquez sur le bouton "Cr\'e9er une Liste", donnez-lui
 un nom (par exemple Perso) et validez. Le nom de la liste s'affiche alors dans la
 liste d\'e9roulante \'e0 gauche du bouton.\par
\pard\plain\f0\cf3\b\fs20 Dans la partie "Cr\'e9ation, Modification, Suppression d'une  Abr\'e9viation", tapez
 l'abr\'e9viation dans le champ "Abr\'e9viation", par exemple am pour votre adresse
 e-mail. Tout ce que vous tapez dans ce champ est converti en minuscules dans la liste.\par
\pard\plain\f0\cf3\b\fs20 Tapez ensuite le texte qui la remplacera dans le champ "Remplacer par", par exemple
 prenom.nom@exemple.fr, puis cliquez sur "Ajouter", et enfin sur "Quitter".\par
\pard\plain\f0\cf3\b\fs20 D\'e9sormais, dans n'importe quel \'e9diteur, tapez am suivi d'un espace, d'une tabulation
 ou de la touche Entr\'e9e : am est remplac\'e9 par prenom.nom@exemple.fr, suivi du
 m\'eame espace, de la m\'eame tabulation ou du m\'eame retour \'e0 la ligne.\par
\pard\plain\f0\cf3\b\fs20 Si le texte de remplacement se termine par un signe moins "-", ce signe n'est pas
 \'e9crit et rien ne suit le remplacement : ni espace, ni tabulation, ni retour \'e0
 la ligne.\par
\pard\plain\f0\cf4\fs20\par
\pard\plain\f0\cf2\ul\fs24 2) Modifier une abr\'e9viation\par
\pard\plain\f0\cf3\b\fs20 S\'e9lectionnez l'abr\'e9viation dans la liste : les champs "Abr\'e9viation" et "Remplacer
 par" se remplissent. Corrigez-les, puis cliquez sur "Modifier".\par
\pard\plain\f0\cf4\fs20\par
\pard\plain\f0\cf2\ul\fs24 3) Supprimer une abr\'e9viation\par
\pard\plain\f0\cf3\b\fs20 S\'e9lectionnez l'abr\'e9viation dans la liste, puis cliquez sur "Supprimer".\par
\pard\plain\f0\cf4\fs20\par
\pard\plain\f0\cf2\ul\fs24 4) Le bouton RAZ\par
\pard\plain\f0\cf3\b\fs20 Le bouton "RAZ" vide les champs "Abr\'e9viation" et "Remplacer par", sans rien supprimer
 de la liste.\par
\pard\plain\f0\cf4\fs20\par
\pard\plain\f0\cf2\b\ul\fs28 Remarque:\par
\pard\plain\f0\cf3\b\fs20 Les abr\'e9viations sont reconnues quelle que soit la casse du texte tap\'e9 : am,
 AM ou Am donnent le m\'eame remplacement.\par
\pard\plain\f0\cf3\b\fs20 Quand vous tapez dans le champ "Abr\'e9viation", la liste est parcourue au fur et
 \'e0 mesure de la frappe. Taper dans le champ "Remplacer par" lance aussi cette recherche,
 \'e0 condition que le champ "Abr\'e9viation" soit vide.\par
\pard\plain\f0\cf4\fs20\par
\pard\plain\f0\cf2\b\ul\fs28 2\'e8me exemple:\par
\pard\plain\f0\cf4\fs20\par
\pard\plain\f0\cf2\ul\fs24 Les param\'e8tres\par
\pard\plain\f0\cf3\b\fs20 Un texte de remplacement peut contenir jusqu'\'e0 quatre param\'e8tres, \'e9crits
 (*1), (*2), (*3) et (*4), que vous remplissez au moment de taper l'abr\'e9viation.\par
\pard\plain\f0\cf3\b\fs20 Prenons l'abr\'e9viation fpol et le texte de remplacement : Je vous prie d'agr\'e9er,
 (*1), mes sentiments distingu\'e9s\par
\pard\plain\f0\cf3\b\fs20 Si vous tapez fpol seul, vous obtenez la phrase avec le param\'e8tre laiss\'e9 vide,
 et le curseur est plac\'e9 \'e0 l'endroit o\'f9 il se trouvait : il ne vous reste
 qu'\'e0 \'e9crire.\par
\pard\plain\f0\cf3\b\fs20 Si vous tapez fpol*Monsieur* (sans espace entre l'\'e9toile et la valeur), vous obtenez
 : Je vous prie d'agr\'e9er, Monsieur, mes sentiments distingu\'e9s\par
\pard\plain\f0\cf3\b\fs20 Une valeur peut contenir des espaces : fpol*Monsieur le Directeur* donne Je vous prie
 d'agr\'e9er, Monsieur le Directeur, mes sentiments distingu\'e9s\par
\pard\plain\f0\cf3\b\fs20 Avec plusieurs param\'e8tres, on \'e9crit abr\'e9viation*valeur1*valeur2*valeur3*valeur4*\par
\pard\plain\f0\cf4\fs20\par
\pard\plain\f0\cf3\b\fs20 Un dernier exemple, pour les programmeurs : l'abr\'e9viation mb, remplac\'e9e par
 MessageBoxA(NULL, "(*1)", "(*2)", MB_OK);\par
\pard\plain\f0\cf3\b\fs20 Taper mb donne l'appel avec deux cha\'eenes vides et place le curseur dans la premi\'e8re
 ; mb*Info* \'e9crit Info dans la premi\'e8re cha\'eene et place le curseur dans la
 seconde ; mb*Info*Mon message* remplit les deux cha\'eenes.\par
})rtf";

}  // namespace

std::string_view licenceDocument() { return {kLicence, sizeof kLicence - 1}; }
std::string_view helpDocument() { return {kHelp, sizeof kHelp - 1}; }

}  // namespace calmirande
